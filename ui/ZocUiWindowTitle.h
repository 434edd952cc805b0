#pragma once
#include <map>
#include <string>

// The main window's title: "Zorvane Tovi", followed by the Tovi's id and the
// name the user gave it.
namespace ZocUi {

// Rebuilds the title from the connected Tovi (or the one that would be
// connected). Main thread; does nothing unless Tovi names are shown in the
// title and at least one name is stored.
void UpdateWindowTitle();

// "Zorvane Tovi " + id, then " - " + its name when `names` has a non-empty one.
std::string BuildWindowTitle(const std::string& id, const std::map<std::string, std::string>& names);

} // namespace ZocUi
