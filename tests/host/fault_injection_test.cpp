// A confirmed removal with Windows failing at each call site, then at every pair of them. The sites
// come from the journal of a clean run, so a new call is covered without touching this file.
#include <map>
#include <string>
#include <vector>

#include "flow_fixture.h"

namespace {

struct Site {
    std::string operation;
    int occurrence;
};

class FaultInjection : public FlowTest {
protected:
    void Prepare(UINT form)
    {
        standin::Reset();
        StageInstallation();
        standin::SetNameForm(form);
    }

    std::vector<Site> CallSites(UINT form)
    {
        Prepare(form);
        RunConfirmed();
        std::vector<Site> sites;
        std::map<std::string, int> seen;
        for (const standin::Call &call : standin::Journal()) {
            const int occurrence = ++seen[call.name];
            if (standin::CanFail(call.name)) {
                sites.push_back({call.name, occurrence});
            }
        }
        return sites;
    }

    void RunFailing(UINT form, const std::vector<Site> &failing)
    {
        std::string run = "form " + std::to_string(form) + ", failing";
        Prepare(form);
        for (const Site &site : failing) {
            standin::FailCall(site.operation, site.occurrence);
            run += " " + site.operation + "#" + std::to_string(site.occurrence);
        }
        EXPECT_EQ(RunConfirmed(), 0) << run;
        ExpectInvariants(run);
    }
};

TEST_F(FaultInjection, EachFailureAloneKeepsTheInvariants)
{
    for (UINT form : {STRRET_CSTR, STRRET_OFFSET, STRRET_WSTR}) {
        const std::vector<Site> sites = CallSites(form);
        // The DLL search, two boxes, COM, four registry calls, twelve deletions and the shell.
        ASSERT_GE(sites.size(), 25U);
        for (const Site &site : sites) {
            RunFailing(form, {site});
        }
    }
}

// The wide-string form hands the most over to be freed.
TEST_F(FaultInjection, EveryPairOfFailuresKeepsTheInvariants)
{
    const std::vector<Site> sites = CallSites(STRRET_WSTR);
    for (size_t i = 0; i < sites.size(); ++i) {
        for (size_t j = i + 1; j < sites.size(); ++j) {
            RunFailing(STRRET_WSTR, {sites[i], sites[j]});
        }
    }
}

}  // namespace
