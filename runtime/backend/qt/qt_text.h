// GBK texts of the runtime and QString of the widgets meet only here.
#pragma once

#include <QString>

#include "runtime/values/value.h"

namespace rt::qt {

QString toQString(const Text& gbkText);
// Characters GBK lacks become '?', so whatever the user typed stays a text.
Text fromQString(const QString& s);

}  // namespace rt::qt
