#pragma once
// What the main window needs of a settings page: filling its controls from the settings
// record. Pages that show settings another page also edits are refreshed on selection.
class IConfigPage {
 public:
  virtual ~IConfigPage() = default;
  virtual void LoadFromConfig() = 0;
};
