#pragma once
// The disc's sessions and tracks, as `dorvik info` prints them.
namespace dorvik::cli {

// Prints "sessions:" and "tracks:" lists for the selected recorder's disc;
// prints nothing when the drive gives no disc information.
void PrintDiscLayout();

}  // namespace dorvik::cli
