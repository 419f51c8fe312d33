#pragma once
// The tables of a pack, written as the reader reads them: the header, the
// module and folder tables with the first two check blocks before the data,
// the third check block and the entry table after it.
#include "pack/FolderTable.h"
#include "pack/Saving.h"

namespace tarvex {

// Fills the header from the plan and the numbering, and writes it with the
// module and folder tables. Reports a failure.
bool WriteTables(Saving& saving, const FolderNumbering& numbering);
// Writes the third check block and the records of every file. Reports a
// failure.
bool WriteEntryTable(Saving& saving);

}  // namespace tarvex
