// The form designer's component palette. Controls register themselves with it; at run time
// it is only a list.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ui {

// (page, class name) pairs, in registration order.
std::vector<std::pair<std::string, std::string>> &ComponentPalette();
void RegisterComponent(const std::string &page, const std::string &className);

} // namespace ui
