// The schema's versions, oldest first. A version once shipped is never edited: a change is a new
// version, applied at start by whichever board process gets there first.
#pragma once

#include <span>

struct Migration {
    int version;
    const char* sql;
};

std::span<const Migration> BoardMigrations();
