#pragma once
// What a settings page needs from the main window it is shown over. The main window
// implements this; pages hold only a reference to it and no settings of their own.
//
// Focus: a page closes when the focus leaves its controls for a control of the main
// window. A view therefore reports the new focus holder before the old one loses it
// (main.UserFocus(newId), then page.UserFocus(-1)), so that the page's focus-lost handler
// sees where the focus went through FocusedOwnerControl().
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar {

class Dialog;
class WindowHost;
struct ConnectionSettings;

enum class PageKind { File, Serial, Iec };

class PageOwner {
 public:
  virtual ~PageOwner() = default;

  virtual Dialog& OwnerDialog() = 0;
  virtual WindowHost& OwnerHost() = 0;
  virtual ConnectionSettings& Settings() = 0;

  // Whether `page` is the page registered in its slot; a page that is no longer registered
  // ignores its focus notifications.
  virtual bool IsRegisteredPage(PageKind kind, const Dialog& page) const = 0;
  // Clears the slot. The page object stays alive until the owner next opens a page or goes
  // away, so a page may unregister itself from inside its own handler.
  virtual void UnregisterPage(PageKind kind, const Dialog& page) = 0;
  // The control of the main window that has the focus, or -1 when no control of this
  // application has it.
  virtual int FocusedOwnerControl() const = 0;

  // The serial port names present on the computer.
  virtual std::vector<std::string> EnumerateSerialPorts() = 0;
  // Hands a settings text ("9600,НЕТ,8,1") to the serial line; a port that is not open
  // ignores it.
  virtual void ConfigureSerial(std::string_view settingsText) = 0;
  // Entries of the loaded description.
  virtual size_t DescriptionEntryCount() const = 0;
  // Position selected in the protocol list, -1 for none.
  virtual int SelectedProtocolIndex() const = 0;
  // Edit 1090 shows the poll period of the settings.
  virtual void ShowPollPeriod() = 0;
  // The address box is read again and the address cut for the selected protocol.
  virtual void MaskDeviceAddressBox() = 0;
  // The IEC station profile of the settings is kept for the next start.
  virtual void StoreIecProfile() {}
};

}  // namespace tessvar
