#pragma once

// Instances as text that any language reads without Orbench: JSON (one document per instance,
// JSON Lines for a set) and CSV (one row per surgery). The instance files themselves need the case
// mix to be understood (a surgery is known only by its parameters); these texts carry what the
// case mix says about every surgery.
//
// The document of an instance, keys in this order (docs/instance.schema.json):
//   instance_file     the instance's FileName
//   case_mix          the name of its case mix
//   or_days           number of OR-days (integer)
//   desired_load      the load it was made for
//   load              its load as it holds it (for a read instance: as its file states it)
//   capacity_minutes  the OR-day capacity of its case mix
//   surgeries         one object per surgery, in the instance's order:
//     number          1, 2, ...: its position, the SurgNr of the instance file
//     type_id         the ID of its surgery type
//     kind            the distribution's kind as text (DistributionTypeToStr)
//     p1, p2, p3      the distribution's parameters
//     mean_minutes    the mean duration in minutes
//     sd_minutes      the standard deviation in minutes
//     x, y            the surgery type's point in the plane: mean / capacity, coefficient of variation
// Numbers are JSON numbers at full precision (the shortest text that reads back as the same
// double). The CSV has the same fields, instance_file to capacity_minutes repeated on every row.
//
// No text holds a negative zero (it is written as 0), nan or inf: an instance with a value that is
// not a finite number is refused with EOrbenchError, naming its file and the value, before
// anything is handed out. A text that is not valid UTF-8 (a file name) has its invalid bytes
// replaced by U+FFFD in the JSON.

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "FileUtils.h"
#include "Model.h"

namespace orbench {

// The document of one instance.
nlohmann::ordered_json InstanceDocument(const TInstance& Instance);

// JSON Lines: the document of each instance, in order, on one line ending with LineEnd; handed to
// Put one instance at a time.
void WriteInstancesJsonLines(const std::vector<const TInstance*>& Instances, const std::string& LineEnd,
                             const TWriteSink& Put);
std::string InstancesJsonLines(const std::vector<const TInstance*>& Instances, const std::string& LineEnd);

// The header line of the CSV, without its line end.
extern const char* const InstanceCsvHeader;

// CSV: the header, then one row per surgery of each instance, instances and surgeries in order.
// Numbers with '.' and 9 decimals, as in the data files; text fields quoted when they hold a
// comma, a double quote, CR or LF (CsvField). Lines end with LineEnd; handed to Put in pieces of
// about a megabyte.
void WriteInstancesCsv(const std::vector<const TInstance*>& Instances, const std::string& LineEnd,
                       const TWriteSink& Put);
std::string InstancesCsv(const std::vector<const TInstance*>& Instances, const std::string& LineEnd);

}  // namespace orbench
