#pragma once
// The favourites list favs.txt beside the program: one station number per line, in the order the
// stations were added. A number is present when any line equals it.

namespace tembrik::stations {

// True when favs.txt exists and a line equals N. A line that is not a number raises ConvertError.
bool IsFavourite(int station);

// Appends N to favs.txt, creating it; a last line without a line end is ended first.
void AddFavourite(int station);

// Drops every line equal to N, keeping the others' text and order. The kept lines are written to
// favs2.txt, which is then renamed over favs.txt, so a failure part way loses nothing. A line that
// is not a number raises ConvertError and leaves favs.txt as it was; without favs.txt there is
// nothing to remove.
void RemoveFavourite(int station);

// Reads favs.txt into FavouriteCells and FavouriteCount; false, with both untouched, when the file
// does not exist. Numbers outside 1..1000 and lines beyond the 1000th take no cell.
bool LoadFavouriteCells();

} // namespace tembrik::stations
