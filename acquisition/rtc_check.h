#pragma once
// "Проверка RTC": the outcome of putting the transducer into its RTC test mode, and the
// texts it is reported with.
#include <string>
#include <string_view>

namespace tessvar {

namespace rtc_texts {
inline constexpr std::string_view kCaption = "RTC test";
inline constexpr std::string_view kStarted = "Запущен режим проверки RTC";
inline constexpr std::string_view kStartFailed = "Ошибка при запуске режима проверки RTC";
inline constexpr std::string_view kNoAnswer = "Не могу подключиться к преобразователю";
}  // namespace rtc_texts

// What a one-shot service command did: success, or the message the user was shown.
struct ServiceOutcome {
  bool ok = false;
  std::string message;
};

}  // namespace tessvar
