// Measuring start-up: with the environment variable TUNRAX_STARTUP_PROBE set
// (not empty), the program reports when its window is first on screen with
// content and ends at once, so that a benchmark can time cold starts from
// outside (bench/start_bench.cpp). Without the variable nothing is installed.
#pragma once

class QTreeView;
class QWidget;

namespace tunrax {

// Waits for the first paint of window, or of tree's viewport once its model
// has rows when a tree is given, then writes
//   shown <ms since process start> window=<width>x<height> rows=<top-level rows>
// to stdout, flushes and ends the process with status 0.
void InstallStartupProbe(QWidget* window, QTreeView* tree = nullptr);

}  // namespace tunrax
