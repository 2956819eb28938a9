// Timing what a user of a folder window sees: each run starts from the state
// a right-click on the first entry leaves (it alone selected and focused, the
// list at its top, the window in front, everything painted), and ends once
// the window has repainted what the run changed. Shared by the benchmarks.
#pragma once

#include <functional>
#include <vector>

#include "tools/FolderWindow.h"

namespace quorvel {

// Milliseconds from the start of `run` until `window` has repainted. With
// `hidden`, the window is not brought to the front.
double TimeUntilRepainted(CFolderWindow& window, bool hidden, const std::function<void()>& run);

// The selected items of the list control in list order, then the focused one
// and the first visible row.
std::vector<int> ReadSelectionOutcome(HWND listView);

double Median(std::vector<double> values);

}  // namespace quorvel
