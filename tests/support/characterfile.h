#pragma once

#include <QString>

namespace chimewell::testing {

// Writes a small but complete character file: one frame shared by the
// animations the programs play (the states, the nine gestures).
bool writeCharacterFile(const QString &path, const QString &name, const QString &description, int width = 128,
                        int height = 128);

} // namespace chimewell::testing
