#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One timing scenario of tessaryn_bench ("search", later "pack", "browse").
// Its run function gets the arguments after the scenario's name and returns
// the process exit code.
struct TBenchScenario {
    QString name;
    QString description;
    std::function<int(const QStringList& arguments)> run;
};

// The scenarios linked into the program. Each scenario file registers itself
// with a TBenchRegistration object at namespace scope.
class TBenchRegistry {
public:
    static void Register(TBenchScenario scenario);
    // In name order.
    static QList<TBenchScenario> Scenarios();
    static const TBenchScenario* Find(const QString& name);

private:
    static QList<TBenchScenario>& Storage();
};

struct TBenchRegistration {
    explicit TBenchRegistration(TBenchScenario scenario) { TBenchRegistry::Register(std::move(scenario)); }
};
