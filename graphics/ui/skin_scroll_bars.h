#pragma once
// Scroll bars that belong to the dark skin: a deep-blue track, a lighter rounded handle that
// lights up under the mouse, no arrow buttons, and a corner of the track's colour.
class QAbstractScrollArea;

void ApplySkinScrollBars(QAbstractScrollArea* area);
