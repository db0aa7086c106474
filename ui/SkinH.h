#pragma once
#include <QString>

// Applies the skin file (a Qt style sheet) to the whole program when the file
// exists; does nothing otherwise. Returns 1 when a skin was applied, else 0.
int SkinH_AttachEx(const QString& skinFile, const QString& password);
