// Conversion tables between the GSM 7-bit alphabet and ISO-8859-1.
#pragma once

#include <cstdint>

namespace quorvel {

/// GSM default-alphabet code to ISO-8859-1 code (257 entries).
extern int32_t gsmToIsoMap[257];
/// ISO-8859-1 code to GSM default-alphabet code (257 entries).
extern int32_t isoToGsmMap[257];
/// GSM extension-table code to ISO-8859-1 code (257 entries).
extern int32_t gsmToIsoExtMap[257];
/// ISO-8859-1 code to GSM extension-table code; 0 when none (257 entries).
extern int32_t isoToGsmExtMap[257];

/// Records a two-way mapping in the default tables.
void chmap2(int32_t gsm, int32_t iso);
/// Records an encoding-only mapping.
void chmap(int32_t gsm, int32_t iso);
/// Records a two-way mapping in the extension tables.
void chmapex(int32_t gsm, int32_t iso);
/// Builds all four tables; already done before any code can read them.
void initCharMaps();

} // namespace quorvel
