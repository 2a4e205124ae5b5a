// The label batch's disks written into the report table "DATAEXP.TXT", and the report
// description set for the batch.
#pragma once

#include <vector>

#include "pagesetupstate.h"

namespace printsetup {

inline constexpr char kBatchHeader[] = "NAME,DISK_SERIAL_NUMBER,SIZE,MODIFIED,NOTE";
inline constexpr char kNoDisksSelected[] =
    "No disks selected to print.  Please select disks to print by selecting checkboxes next to the disk icons "
    "in the list.";

// Writes the ticked rows into the report table and sets up the batch of report type
// batchType (6, 8, 9 or 10) on the job and the printer. False when no row is ticked (the
// warning has been shown and the report description is as it was) or when an error ended
// the export (it has been shown).
bool ExportCheckedDisks(const std::vector<DiskRow>& rows, SHORT batchType, app::PrintJob& job,
                        surface::PrinterObject& printer);
// The same on the program's print job and current Printer.
bool ExportCheckedDisks(const std::vector<DiskRow>& rows, SHORT batchType);

}  // namespace printsetup
