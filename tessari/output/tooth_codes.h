// The teeth of the two-digit ISO 3950 (FDI) numbering as SNOMED CT concepts,
// the codes of the DICOM context groups CID 4018 (permanent teeth, quadrants
// 1-4, teeth 1-8) and CID 4019 (deciduous teeth, quadrants 5-8, teeth 1-5):
// 52 teeth in all. A DICOM file names its tooth by these codes (scheme
// designator "SCT"), never by the FDI number itself.
#pragma once

#include <span>

namespace tessari {

struct ToothCode {
    int fdi;              // ISO 3950 number, e.g. 11
    const char* sctCode;  // SNOMED CT concept id
    const char* meaning;  // code meaning (at most 64 characters)
};

// The whole table, in FDI order.
std::span<const ToothCode> ToothCodes();

// The entry of fdi, or null for a number that is no tooth.
const ToothCode* FindToothCode(int fdi);

// "R", "L" for a tooth of the patient's right or left side (quadrants 1, 4,
// 5, 8 are right); "B" when there is no tooth.
const char* ToothLaterality(int fdi);

}  // namespace tessari
