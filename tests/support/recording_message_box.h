#pragma once
// A message box that only records what it was asked to show.
#include "core/ports.h"

#include <string>
#include <vector>

namespace quillon::test {

class RecordingMessageBox final : public IMessageBox {
public:
    void ShowTextMessage(const std::u16string& text) override { shown.push_back(text); }
    std::vector<std::u16string> shown;
};

} // namespace quillon::test
