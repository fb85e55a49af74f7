#pragma once
// Halden's five settings: where they are stored, their defaults, the
// command-line switches that replace them, and the rules by which the
// settings page applies them.
//
// The settings live in $XDG_CONFIG_HOME/Varkon/Tessel.conf (QSettings, INI),
// group A4/Params, under the value names of the record's fields. A start with
// arguments takes the defaults and the switches and does not read the file; a
// start without arguments takes the defaults and every stored value that is
// there. A stored file that cannot be read, or that holds a value that is not
// one, is kept untouched: the start-up apply does not write the defaults over
// it (a later apply by the user does write).

#include <functional>
#include <string>
#include <vector>

struct THaldenSettings {
  int TCPPort = 211;           // TCP port of the dispatcher
  bool TCPEnabled = false;     // run the TCP dispatcher
  bool AutoPortClose = false;  // unlock a port at its lock time-out; also runs the timer at all
  bool AutoRecCancel = false;  // cancel a receipt reported open at the lock time-out
  int CloseTimeout = 10000;    // lock time-out, ms (shown and edited in whole seconds)

  bool operator==(const THaldenSettings&) const = default;
};

// The ranges the window can show and the listener can use.
constexpr int MaxCloseTimeoutSeconds = 32767;
constexpr int MinTCPPort = 1;
constexpr int MaxTCPPort = 65535;

// The settings from the command-line switches, with a text for every switch
// whose number was out of range (it then took its default).
struct TSwitchSettings {
  THaldenSettings Settings;
  std::vector<std::string> Problems;
};

// Each argument of two or more characters is examined by its second
// character: a (AutoPortClose on), r (AutoRecCancel on), p<seconds>
// (CloseTimeout; 10 s when no number), t<port> (TCPPort, 211 when no number;
// TCPEnabled when the port is not 0). Other arguments have no effect.
TSwitchSettings ParseSwitches(const std::vector<std::string>& Args);

enum class TSettingsFileState {
  Missing,  // no file: the defaults, and the first apply creates it
  Read,     // every stored value was taken
  Damaged,  // unreadable, or a stored value is not one: keep the file as it is
};

struct TStoredSettings {
  THaldenSettings Settings;
  TSettingsFileState State = TSettingsFileState::Missing;
  std::vector<std::string> Problems;  // what was wrong with the file, for the user
};

// The settings file.
class TSettingsStore {
 public:
  // The file in the settings folder of the user.
  TSettingsStore();
  explicit TSettingsStore(std::string FileName);

  static std::string DefaultFileName();
  const std::string& FileName() const { return FFileName; }

  // The defaults, replaced by each stored value that exists and is valid.
  TStoredSettings Read() const;
  // Writes all five values (creating the file and its folder); false when
  // that failed, which the program otherwise ignores.
  bool Save(const THaldenSettings& Value) const;

 private:
  std::string FFileName;
};

// The settings a start begins with.
struct TStartSettings {
  THaldenSettings Settings;
  bool FromSwitches = false;
  // The stored file is damaged: the start-up apply must not save over it.
  bool KeepFile = false;
  std::vector<std::string> Problems;
};

// With arguments: the switches (the file is not read); otherwise the file.
TStartSettings ReadStartSettings(const std::vector<std::string>& Args, const TSettingsStore& Store);

// What the settings page shows and the user edits.
struct TSettingsForm {
  std::string TCPPort;  // the text of the port field
  bool TCPEnabled = false;
  int CloseTimeoutSeconds = 10;
  bool AutoPortClose = false;
  bool AutoRecCancel = false;

  bool operator==(const TSettingsForm&) const = default;
};

TSettingsForm FormOf(const THaldenSettings& Value);

// What applying the settings needs of the TCP dispatcher.
class ITCPListener {
 public:
  virtual ~ITCPListener() = default;
  // Brings the listener to the wanted state. False when the user refused to
  // disconnect connected clients (nothing changed); throws std::exception
  // with the reason when the listener cannot start.
  virtual bool Update(bool Enabled, int Port) = 0;
};

struct TApplyResult {
  enum TStatus {
    Applied,  // in force, saved; the Apply button goes off
    Refused,  // the user kept the clients: the previous settings stay
    Invalid,  // a field was wrong: nothing changed
  };
  TStatus Status = Applied;
  // The listener could not start: TCP is off for this run (the stored value
  // stays as the user chose it) and the check box is cleared.
  bool TCPFailed = false;
  std::string Error;  // the text to show, when not empty
};

// The settings in force in this run, and their apply.
class TSettingsApplier {
 public:
  // ApplyTimers hands AutoPortClose, AutoRecCancel and CloseTimeout to the
  // port registry and re-arms the timers of every port.
  TSettingsApplier(const TSettingsStore& Store, ITCPListener& Listener,
                   std::function<void(const THaldenSettings&)> ApplyTimers);

  const THaldenSettings& Settings() const { return FSettings; }
  // The settings read at start; with KeepFile the next apply does not save.
  void SetSettings(const THaldenSettings& Value, bool KeepFile = false);

  // Takes the form's values, hands the TCP part to the listener, saves on
  // success (or restores the previous settings when the user refused) and
  // re-arms the port timers.
  TApplyResult Apply(const TSettingsForm& Form);
  // The same for settings that need no conversion (the apply at start-up,
  // which so keeps a stored time-out that is not whole seconds).
  TApplyResult Apply(const THaldenSettings& Wanted);

 private:
  const TSettingsStore& FStore;
  ITCPListener& FListener;
  std::function<void(const THaldenSettings&)> FApplyTimers;
  THaldenSettings FSettings;
  bool FKeepFile = false;
};
