#pragma once

namespace bench {

// The start-up of this process's window in milliseconds: QApplication, TFormBase, show and the
// first events. Needs a process that has no QApplication yet.
double ColdStartMilliseconds(int& argc, char** argv);

// Destroys the benchmarks' window before the QApplication goes.
void CloseWindow();

}  // namespace bench
