#include "model/catalogue.h"

namespace tessvar {
namespace {

constexpr std::string_view kDc1 = "DC Канал 1";
constexpr std::string_view kAc1 = "AC Канал 1";
constexpr std::string_view kAcDc1 = "AC + DC Канал 1";
constexpr std::string_view kDc2 = "DC Канал 2";
constexpr std::string_view kAc2 = "AC Канал 2";
constexpr std::string_view kAcDc2 = "AC + DC Канал 2";

constexpr std::array<CatalogueSlot, kCatalogueSlots> kTable = {{
    {"Udc1", 1, kDc1, "В", 1031, 16},
    {"Idc1", 1, kDc1, "A", 1066, 16},
    {"Pdc1", 1, kDc1, "Вт", 1033, 16},
    {"Wdc1", 1, kDc1, "Вт·ч", 1153, 32},
    {"Wdc1", 1, kDc1, "Вт·ч", 1153, 32},
    {"Qdc1", 1, kDc1, "A·ч", 1151, 32},
    {"Qdc1", 1, kDc1, "A·ч", 1151, 32},
    {"Uac1", 1, kAc1, "В", 1045, 16},
    {"Iac1", 1, kAc1, "A", 1039, 16},
    {"P1", 1, kAc1, "Вт", 1047, 16},
    {"Pq1", 1, kAc1, "вар", 1057, 16},
    {"Ps1", 1, kAc1, "ВА", 1061, 16},
    {"PF1", 1, kAc1, "", 1168, 16},
    {"W1", 1, kAc1, "Вт·ч", 1170, 32},
    {"W1", 1, kAc1, "Вт·ч", 1170, 32},
    {"f1 ", 1, kAc1, "Гц", 1176, 16},
    {"Uacdc1", 1, kAcDc1, "В", 1180, 16},
    {"Iacdc1", 1, kAcDc1, "A", 1183, 16},
    {"Pacdc1", 1, kAcDc1, "Вт", 1184, 16},
    {"Wacdc1", 1, kAcDc1, "Вт·ч", 1187, 32},
    {"Wacdc1", 1, kAcDc1, "Вт·ч", 1187, 32},
    {"Udc2", 2, kDc2, "В", 1040, 16},
    {"Idc2", 2, kDc2, "A", 1068, 16},
    {"Pdc2", 2, kDc2, "Вт", 1035, 16},
    {"Wdc2", 2, kDc2, "Вт·ч", 1164, 32},
    {"Wdc2", 2, kDc2, "Вт·ч", 1164, 32},
    {"Qdc2", 2, kDc2, "A·ч", 1146, 32},
    {"Qdc2", 2, kDc2, "A·ч", 1146, 32},
    {"Uac2", 2, kAc2, "В", 1052, 16},
    {"Iac2", 2, kAc2, "A", 1043, 16},
    {"P2", 2, kAc2, "Вт", 1049, 16},
    {"Pq2", 2, kAc2, "вар", 1059, 16},
    {"Ps2", 2, kAc2, "ВА", 1062, 16},
    {"PF2", 2, kAc2, "", 1173, 16},
    {"W2", 2, kAc2, "Вт·ч", 1171, 32},
    {"W2", 2, kAc2, "Вт·ч", 1171, 32},
    {"f2 ", 2, kAc2, "Гц", 1150, 16},
    {"Uacdc2", 2, kAcDc2, "В", 1192, 16},
    {"Iacdc2", 2, kAcDc2, "A", 1178, 16},
    {"Pacdc2", 2, kAcDc2, "Вт", 1185, 16},
    {"Wacdc2", 2, kAcDc2, "Вт·ч", 1195, 32},
    {"Wacdc2", 2, kAcDc2, "Вт·ч", 1195, 32},
    {"ETA", 0, "", "%", 1211, 16},
    {"tms", 0, "", "ms", 1096, 16},
    {"thm", 0, "", "", 1096, 16},
}};

}  // namespace

const std::array<CatalogueSlot, kCatalogueSlots>& CatalogueTable() { return kTable; }

void MeasurementCatalogue::Build() { built_ = kCatalogueSlots; }

std::optional<int> FindCatalogueSlot(std::string_view name) {
  for (int k = 0; k < kCatalogueSlots; ++k) {
    const std::string_view slot = kTable[static_cast<size_t>(k)].name;
    const size_t p = name.find(slot);
    if (p == std::string_view::npos) continue;
    const size_t after = p + slot.size();
    if (after < name.size() && name[after] == ')') return k;
  }
  return std::nullopt;
}

}  // namespace tessvar
