#include "BenchRegistry.h"

#include <algorithm>

QList<TBenchScenario>& TBenchRegistry::Storage()
{
    // Built on first use: registrations run during static initialisation, in
    // no particular order between files.
    static QList<TBenchScenario> scenarios;
    return scenarios;
}

void TBenchRegistry::Register(TBenchScenario scenario)
{
    Storage().append(std::move(scenario));
}

QList<TBenchScenario> TBenchRegistry::Scenarios()
{
    QList<TBenchScenario> sorted = Storage();
    std::sort(sorted.begin(), sorted.end(),
              [](const TBenchScenario& a, const TBenchScenario& b) { return a.name < b.name; });
    return sorted;
}

const TBenchScenario* TBenchRegistry::Find(const QString& name)
{
    for (const TBenchScenario& scenario : Storage())
        if (scenario.name == name)
            return &scenario;
    return nullptr;
}
