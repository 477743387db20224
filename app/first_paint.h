#pragma once
// With QUILLON_REPORT_FIRST_PAINT=1 in the environment, the first painted frame of the main
// window prints one line "first-paint <monotonic nanoseconds>" to standard error, so that a
// start-up measurement can tell when the window was first drawn.
void ReportFirstPaint();
