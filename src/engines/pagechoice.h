#pragma once

// One page of an organized PDF: which page of the source (0-based) and how many degrees it is
// turned beyond its own rotation (a multiple of 90 in 0…359).
struct PageChoice
{
    int source = 0;
    int rotation = 0;

    bool operator==(const PageChoice&) const = default;
};
