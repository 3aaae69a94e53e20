// The benchmarks need a QApplication for the window; the core ones run under it unchanged.
#include <benchmark/benchmark.h>

#include <QApplication>

int main(int argc, char** argv) {
  // No display needed, and none of its cost measured, unless a platform is asked for.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  QApplication app(argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
