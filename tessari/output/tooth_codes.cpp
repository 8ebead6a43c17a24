#include "output/tooth_codes.h"

#include <array>

namespace tessari {

namespace {

constexpr std::array<ToothCode, 52> kTeeth{{
    {11, "422653006", "Permanent maxillary right central incisor tooth"},
    {12, "424877001", "Permanent maxillary right lateral incisor tooth"},
    {13, "860767006", "Permanent maxillary right canine tooth"},
    {14, "57826002", "Permanent maxillary right first premolar tooth"},
    {15, "36492000", "Permanent maxillary right second premolar tooth"},
    {16, "865995000", "Permanent maxillary right first molar tooth"},
    {17, "863902006", "Permanent maxillary right second molar tooth"},
    {18, "68085002", "Permanent maxillary right third molar tooth"},
    {21, "424399000", "Permanent maxillary left central incisor tooth"},
    {22, "423185002", "Permanent maxillary left lateral incisor tooth"},
    {23, "860780009", "Permanent maxillary left canine tooth"},
    {24, "61897005", "Permanent maxillary left first premolar tooth"},
    {25, "23226009", "Permanent maxillary left second premolar tooth"},
    {26, "865988009", "Permanent maxillary left first molar tooth"},
    {27, "863901004", "Permanent maxillary left second molar tooth"},
    {28, "87704003", "Permanent maxillary left third molar tooth"},
    {31, "425106001", "Permanent mandibular left central incisor tooth"},
    {32, "423331005", "Permanent mandibular left lateral incisor tooth"},
    {33, "860782001", "Permanent mandibular left canine tooth"},
    {34, "2400006", "Permanent mandibular left first premolar tooth"},
    {35, "24573005", "Permanent mandibular left second premolar tooth"},
    {36, "866006002", "Permanent mandibular left first molar tooth"},
    {37, "863898000", "Permanent mandibular left second molar tooth"},
    {38, "74344005", "Permanent mandibular left third molar tooth"},
    {41, "424575004", "Permanent mandibular right central incisor tooth"},
    {42, "423937004", "Permanent mandibular right lateral incisor tooth"},
    {43, "860785004", "Permanent mandibular right canine tooth"},
    {44, "80140008", "Permanent mandibular right first premolar tooth"},
    {45, "8873007", "Permanent mandibular right second premolar tooth"},
    {46, "866005003", "Permanent mandibular right first molar tooth"},
    {47, "863899008", "Permanent mandibular right second molar tooth"},
    {48, "38994002", "Permanent mandibular right third molar tooth"},
    {51, "88824007", "Deciduous maxillary right central incisor tooth"},
    {52, "65624003", "Deciduous maxillary right lateral incisor tooth"},
    {53, "30618001", "Deciduous maxillary right canine tooth"},
    {54, "17505006", "Deciduous maxillary right first molar tooth"},
    {55, "27855007", "Deciduous maxillary right second molar tooth"},
    {61, "51678005", "Deciduous maxillary left central incisor tooth"},
    {62, "43622005", "Deciduous maxillary left lateral incisor tooth"},
    {63, "73937000", "Deciduous maxillary left canine tooth"},
    {64, "45234009", "Deciduous maxillary left first molar tooth"},
    {65, "51943008", "Deciduous maxillary left second molar tooth"},
    {71, "89552004", "Deciduous mandibular left central incisor tooth"},
    {72, "14770005", "Deciduous mandibular left lateral incisor tooth"},
    {73, "43281008", "Deciduous mandibular left canine tooth"},
    {74, "38896004", "Deciduous mandibular left first molar tooth"},
    {75, "49330006", "Deciduous mandibular left second molar tooth"},
    {81, "67834006", "Deciduous mandibular right central incisor tooth"},
    {82, "22445006", "Deciduous mandibular right lateral incisor tooth"},
    {83, "6062009", "Deciduous mandibular right canine tooth"},
    {84, "58646007", "Deciduous mandibular right first molar tooth"},
    {85, "61868007", "Deciduous mandibular right second molar tooth"},
}};

}  // namespace

std::span<const ToothCode> ToothCodes()
{
    return kTeeth;
}

const ToothCode* FindToothCode(int fdi)
{
    for (const ToothCode& t : kTeeth)
        if (t.fdi == fdi) return &t;
    return nullptr;
}

const char* ToothLaterality(int fdi)
{
    if (FindToothCode(fdi) == nullptr) return "B";
    switch (fdi / 10) {
    case 1: case 4: case 5: case 8: return "R";
    default: return "L";
    }
}

}  // namespace tessari
