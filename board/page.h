// The boards as answers: JSON for programs, and one HTML page a person reads without JavaScript.
#pragma once

#include "board/boards.h"

#include <string>

// Up to limit entries of one board from the first, or centred on the entry at index around.
std::string BoardJson(const std::vector<Place>& board, int limit, std::size_t around);
std::string BoardPage(const BoardSnapshot& boards, int limitPerBoard);
