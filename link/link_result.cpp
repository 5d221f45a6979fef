#include "link/link_result.h"

#include <ostream>

namespace tessvar {

std::string_view LinkResultText(LinkResult result) {
  switch (result) {
    case LinkResult::kGood: return {};
    case LinkResult::kBadStart: return "Ошибка при приеме стартового байта";
    case LinkResult::kBadStop: return "Ошибка при приеме стопового байта";
    case LinkResult::kBadChecksum: return "Ошибка контрольной суммы";
    case LinkResult::kNoReply: return "Буфер обмена пуст";
    case LinkResult::kNegativeAck: return "Пришла отрицательная квитанция";
    case LinkResult::kNoDescription:
      return "Для правильной работы программы необходим файл конфигурации";
    case LinkResult::kUnknownType: return "Неизвестный идентификатор типа";
    case LinkResult::kUnknownCause: return "Неизвестная причина передачи";
    case LinkResult::kUnknownObjectAddress: return "Неизвестный адрес объекта информации";
    case LinkResult::kIllegalFunction:
      return "Принятый код функции не может быть обработан на подчиненном";
    case LinkResult::kIllegalDataAddress:
      return "Адрес данных указанный в запросе не доступен данному подчиненному";
    case LinkResult::kIllegalDataValue:
      return "Величина содержащаяся в поле данных запроса является не допустимой величиной "
             "для подчиненного";
    case LinkResult::kDeviceFailure: return "Подчиненный не отвечает";
    default: return "Ошибка";
  }
}

LinkResult ModbusExceptionResult(uint8_t exceptionCode) {
  constexpr uint8_t base = ToByte(LinkResult::kExceptionBase);
  if (exceptionCode >= 1 && exceptionCode <= 255 - base) {
    return static_cast<LinkResult>(base + exceptionCode);
  }
  return LinkResult::kError;
}

std::ostream& operator<<(std::ostream& out, LinkResult result) {
  return out << static_cast<unsigned>(ToByte(result));
}

}  // namespace tessvar
