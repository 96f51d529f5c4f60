#pragma once

#include <QtGlobal>

// One tile of the Organize PDF grid: a page of the source document, turned by `rotation`
// degrees (0, 90, 180 or 270) beyond its own. A duplicate gets a fresh `id`.
struct PageItem
{
    quint64 id = 0;
    int source = 0; // 0-based page index in the source
    int rotation = 0;

    bool operator==(const PageItem&) const = default;
};
