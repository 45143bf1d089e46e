// The host's built-in controls and its default menu bar and toolbar.
#include "office/commandbars.h"

#include <cstdlib>

namespace quorvel::office {

namespace {

struct BuiltIn {
  int32_t id;
  const char* caption;
};

const BuiltIn kBuiltIns[] = {
    {kIdFileMenu, "File"},           {kIdNewMenu, "New"},
    {kIdMailMessage, "Mail Message"}, {kIdAppointment, "Appointment"},
    {kIdTask, "Task"},               {kIdOpenCalendar, "Open Calendar File..."},
    {kIdExit, "Exit"},               {kIdToolsMenu, "Tools"},
    {kIdComAddIns, "COM Add-ins..."}, {kIdReminders, "Reminders"},
    {kIdHelpMenu, "Help"},           {kIdAbout, "About"},
};

CommandBarControl* addBuiltIn(CommandBarControls& to, int32_t type, int32_t id) {
  CommandBarControl* c = to.add(type, id, std::nullopt, false);
  c->setBuiltIn(true);
  return c;
}

} // namespace

std::string builtInCaption(int32_t id) {
  for (const BuiltIn& b : kBuiltIns)
    if (b.id == id) return b.caption;
  return {};
}

void buildDefaultBars(CommandBars& bars) {
  const bool outlook = bars.context().host == "Outlook";
  CommandBar* menu = bars.add("Menu Bar", msoBarTop, true, false);
  menu->setBuiltIn(true);
  menu->setVisible(true);

  CommandBarControl* file = addBuiltIn(menu->controls(), msoControlPopup, kIdFileMenu);
  CommandBarControl* newMenu = addBuiltIn(*file->controls(), msoControlPopup, kIdNewMenu);
  addBuiltIn(*newMenu->controls(), msoControlButton, kIdMailMessage);
  if (outlook) {
    addBuiltIn(*newMenu->controls(), msoControlButton, kIdAppointment);
    addBuiltIn(*newMenu->controls(), msoControlButton, kIdTask);
    addBuiltIn(*file->controls(), msoControlButton, kIdOpenCalendar)->setBeginGroup(true);
  }
  addBuiltIn(*file->controls(), msoControlButton, kIdExit)->setBeginGroup(true);

  CommandBarControl* tools = addBuiltIn(menu->controls(), msoControlPopup, kIdToolsMenu);
  if (outlook) addBuiltIn(*tools->controls(), msoControlButton, kIdReminders);
  addBuiltIn(*tools->controls(), msoControlButton, kIdComAddIns);

  CommandBarControl* help = addBuiltIn(menu->controls(), msoControlPopup, kIdHelpMenu);
  addBuiltIn(*help->controls(), msoControlButton, kIdAbout);

  CommandBar* standard = bars.add("Standard", msoBarTop, false, false);
  standard->setBuiltIn(true);
  standard->setVisible(true);
  CommandBarControl* mail = addBuiltIn(standard->controls(), msoControlButton, kIdMailMessage);
  mail->setStyle(msoButtonCaption);
  mail->setTooltipText("New Mail Message");
}

std::string defaultCustomisationFile(const std::string& host) {
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    base = x;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : ".") + "/.config";
  }
  std::string lower;
  for (char c : host) lower += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return base + "/quorvel/" + lower + ".commandbars";
}

} // namespace quorvel::office
