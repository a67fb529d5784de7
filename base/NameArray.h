// Control arrays: element i of the array `name` gets the objectName "<name>_<i>", so tests and
// readers find it by the name the operator documentation uses.
#pragma once

#include <QString>
#include <array>
#include <cstddef>

template <typename W, std::size_t N>
void NameArray(std::array<W *, N> &controls, const QString &name) {
    for (std::size_t i = 0; i < N; ++i)
        controls[i]->setObjectName(name + u'_' + QString::number(i));
}
