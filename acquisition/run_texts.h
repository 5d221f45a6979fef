#pragma once
// Texts the run control shows (UTF-8).
#include <string_view>

namespace tessvar::run_texts {

inline constexpr std::string_view kError = "Ошибка";
inline constexpr std::string_view kOops = "Ой";
inline constexpr std::string_view kAlas = "Увы ошибка";
inline constexpr std::string_view kLoadDescription = "Загрузите файл конфигурации";
inline constexpr std::string_view kNeedDescription =
    "Для правильной работы программы необходим файл конфигурации";
inline constexpr std::string_view kNoDataEntries =
    "В файле конфигурации нет ни одной измеряемой величины";
inline constexpr std::string_view kCannotOpen = "Не могу открыть ";
inline constexpr std::string_view kNoComPort = "Не выбран COM порт";
inline constexpr std::string_view kNoComPortEn = "COM port not selected";
inline constexpr std::string_view kBadTimeFormat = "Задан неверный формат времени";
inline constexpr std::string_view kNotResponding = "Преобразователь не отвечает";
inline constexpr std::string_view kCannotCreateFile = "Не могу создать файл, ";
inline constexpr std::string_view kWriteFailed = "Ошибка записи в файл, запись остановлена: ";
inline constexpr std::string_view kIecNotAvailable =
    "Опрос по протоколам МЭК-101 и МЭК-104 в этой версии недоступен";

inline constexpr std::string_view kNoClock = "Выбранная конфигурация не поддерживает время";
inline constexpr std::string_view kLinkError = "Ошибка связи";
inline constexpr std::string_view kClockSyncFailed = "Ошибка при синхронизации RTC";

inline constexpr std::string_view kWaiting = "Ожидание";
inline constexpr std::string_view kRequesting = "Запрос данных";
inline constexpr std::string_view kReconnecting = "Ожидаем восстановления подключения";
// While a connection attempt takes a moment: followed by the address, "127.0.0.1:502…".
inline constexpr std::string_view kConnectingTo = "Подключение к ";
// The tooltip of the status line after a failure: followed by "12:34:56 — <text>".
inline constexpr std::string_view kLastFailure = "Последний сбой: ";
// While a reply keeps the window waiting longer than a poll period.
inline constexpr std::string_view kAwaitingReply = "Ожидание ответа…";

inline constexpr std::string_view kZeroRemaining = "00 : 00 : 00";

}  // namespace tessvar::run_texts
