// The messages of the grids' cell check against a 30 V, 3 A supply, as the operator reads them.
#pragma once

#include <QString>

namespace {
const QString V1 = "Voltage must be 0 or 0.1 - 30 and 1 digit of precision.";
const QString C1 = "Current must be 0.01 - 3 and 2 digit of precision.";
const QString V2 = "Voltage must be 0 or 0.1 - 30 and 1 digit of precision .";
const QString C2 = "Current must be 0.01 - 3 and 2 digit of precision .";
const QString M = "The minute value must be between 1 and 99 .";
const QString S = "The second value must be between 1 and 59 .";
} // namespace
