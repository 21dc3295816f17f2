#include "BenchRegistry.h"

#include <QApplication>
#include <QTextStream>

#include <exception>

namespace {

void PrintUsage(QTextStream& out)
{
    out << "usage: tessaryn_bench <scenario> [options]\nscenarios:\n";
    for (const TBenchScenario& scenario : TBenchRegistry::Scenarios())
        out << "  " << scenario.name << "  " << scenario.description << "\n";
}

} // namespace

int main(int argc, char* argv[])
{
    // The browse scenario paints widgets; it needs no display for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help")) {
        QTextStream out(stdout);
        PrintUsage(out);
        return arguments.isEmpty() ? 2 : 0;
    }
    const TBenchScenario* scenario = TBenchRegistry::Find(arguments.takeFirst());
    if (!scenario) {
        err << "unknown scenario\n";
        PrintUsage(err);
        return 2;
    }
    try {
        return scenario->run(arguments);
    } catch (const std::exception& e) {
        err << scenario->name << ": " << e.what() << "\n";
        return 1;
    }
}
