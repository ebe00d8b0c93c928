// Station catalogue, grids and favourites on the main window.
#include "Unit1.h"

void TForm1::Button2Click() {}
void TForm1::FillStationGrid() {}
void TForm1::NextGrid1SelectCell(int, int) {}
void TForm1::SelectStation(int, bool) {}
void TForm1::RxLabel2Click() {}
void TForm1::FillFavouritesGrid() {}
void TForm1::RxLabel3Click() {}
void TForm1::Image3Click() {}
void TForm1::NextGrid2SelectCell(int, int) {}
void TForm1::Image8Click() {}
