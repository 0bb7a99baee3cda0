// The two removal steps that WinMain runs, in this order, once the user has said Yes.
#ifndef QUARN_FLOW_REMOVAL_H
#define QUARN_FLOW_REMOVAL_H

// False when the product key cannot be opened; nothing has been changed then.
bool RemoveInstalledItems(void);

void RemoveShortcuts(void);

#endif
