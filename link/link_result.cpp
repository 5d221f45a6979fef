#include "link/link_result.h"

namespace tessvar {

std::string_view LinkResultText(uint8_t code) {
  switch (code) {
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

uint8_t ModbusExceptionResult(uint8_t exceptionCode) {
  if (exceptionCode >= 1 && exceptionCode <= 255 - LinkResult::kExceptionBase) {
    return static_cast<uint8_t>(LinkResult::kExceptionBase + exceptionCode);
  }
  return LinkResult::kError;
}

}  // namespace tessvar
