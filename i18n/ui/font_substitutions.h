#pragma once
// Lets Qt find installed faces for the faces that the layouts name ("微软雅黑", "宋体").  Call once
// after the QApplication exists and before the first window is built.
void RegisterFontSubstitutions();
