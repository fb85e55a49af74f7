#pragma once
// TPtyDevice: a pseudo-terminal pair whose master side plays the device (a
// KKT) for the tests of the serial port, the link protocols and the server.
//
// The constructor creates the pair and enters COMn -> the slave in a port map
// of its own, pointing VARKON_PORTS at it until the last TPtyDevice of the
// process is gone (several devices, each with its COM number, share one map).
// A device thread then either follows a script or answers through a handler:
//
//   #include "support/PtyDevice.h"
//   using pty::Bytes;
//
//   TPtyDevice dev(3);                                  // COM3 is the slave now
//   dev.Run({
//       pty::Exchange(Bytes("05"), Bytes("15")),        // host ENQ, device NAK
//       pty::Exchange(Bytes("02 03 41 42 43 43"), Bytes("06")),
//       pty::Reply(Bytes("02 02 41 00 43")).After(20),  // answer 20 ms later
//       pty::Expect(Bytes("06")),                       // host ACK, no reply
//   });
//   ... drive TComPort / a protocol / Halden on COM3 ...
//   EXPECT_TRUE(dev.Finish());           // every step done, nothing mismatched
//   EXPECT_EQ(varkon::HexSpaced(dev.Received()), "05 02 03 41 42 43 43 06");
//
// A programmable device gets every chunk of host bytes as it arrives and
// returns the bytes to answer with (possibly none); it keeps its own state:
//
//   std::string in;
//   dev.Serve([&](std::string_view chunk) {
//     in.append(chunk);
//     std::string out;
//     ... parse frames from `in`, erase what was used, append replies to `out` ...
//     return out;
//   });
//
// Removal: pty::Remove() in a script (or dev.Remove() between scripts) closes
// the master, so the host's descriptor sees hang-up / EIO, and points the map
// entry at a file that does not exist (an open gives -2; a freed pts number
// that another process reuses is never reached). pty::Restore() (or
// dev.Restore()) makes a new pair and enters its slave under the same COM
// number: the device is back.
//
// Script steps run in order; each waits for its Expect bytes (exactly these,
// in full, within WithinMs), then waits DelayMs, writes Reply (GapMs between
// single bytes when set), then performs its action. A mismatch or a time-out
// stops the script and is reported by Finish() as hex (expected vs got) with
// the step number; the device then stays silent but keeps recording what the
// host sends, so the host side never hangs on the fixture. After the last step
// the device records any further host bytes without answering. Every wait of
// the fixture is bounded; the destructor stops the thread, closes every
// descriptor, restores VARKON_PORTS, and reports a failure that no Finish()
// call has reported.
//
// Thread use: Run, Serve, Stop, Remove, Restore, Finish and Received are for
// the test's own thread; the handler of Serve runs on the device thread.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct TPtyStep {
  enum class TAction { None, Silence, Remove, Restore };

  std::string Expect;        // host bytes that must come next, exactly (empty: none)
  int WithinMs = 3000;       // how long the device waits for them
  int DelayMs = 0;           // pause before the reply
  std::string Reply;         // device bytes written then
  int GapMs = 0;             // > 0: the reply goes out byte by byte, this pause between bytes
  TAction Action = TAction::None;
  int SilenceMs = 0;         // Silence: host bytes are recorded and ignored for this long

  // Modified copies, for chaining onto the builders below.
  TPtyStep Within(int Ms) const;
  TPtyStep After(int Ms) const;
  TPtyStep Gap(int Ms) const;
};

namespace pty {

// Bytes from hexadecimal text, blanks allowed: Bytes("02 00 4a") is 3 bytes.
std::string Bytes(std::string_view Hex);

TPtyStep Expect(std::string Host);                         // expect, no reply
TPtyStep Exchange(std::string Host, std::string Device);   // expect, then reply
TPtyStep Reply(std::string Device);                        // reply at once (see After)
TPtyStep Silence(int Ms);                                  // ignore the host for Ms
TPtyStep Remove();                                         // unplug: close the master
TPtyStep Restore();                                        // plug in again: a new pair

}  // namespace pty

class TPtyDevice {
 public:
  using THandler = std::function<std::string(std::string_view HostBytes)>;

  explicit TPtyDevice(int ComNumber = 3);
  ~TPtyDevice();
  TPtyDevice(const TPtyDevice&) = delete;
  TPtyDevice& operator=(const TPtyDevice&) = delete;

  int ComNumber() const { return FComNumber; }
  // The current slave device file (it changes with Restore).
  std::string SlavePath() const;
  // The fixture's own descriptor of the slave (for tcgetattr); -1 while removed.
  int SlaveFd() const;
  // The map file VARKON_PORTS names.
  static std::string MapFile();
  bool Present() const;

  // Starts the script (a running script or handler is stopped first; the host
  // bytes recorded so far are dropped, bytes not yet read stay for the script).
  void Run(std::vector<TPtyStep> Script);
  // Starts the programmable device (same rules as Run).
  void Serve(THandler Handler);
  // Stops the device thread; nothing reads the master until the next Run/Serve.
  void Stop();
  // Stops the device thread and unplugs / plugs in the device (see above).
  void Remove();
  void Restore();

  // Waits (at most TimeoutMs) for the script to end; fails with the report of
  // a mismatch, a time-out, a handler's exception or an unfinished script.
  ::testing::AssertionResult Finish(int TimeoutMs = 5000);
  // Every host byte read since the last Run/Serve. Waits briefly until the
  // device thread has read what the host has written so far.
  std::string Received();

 private:
  void Open();
  void CloseFds();
  void DoRemove();
  void DoRestore();
  void StartThread(std::function<void()> Body);
  void RunScript();
  void RunServe();
  void Fail(const std::string& Text);
  // The device side's primitives; all return false when stopped or failed.
  bool ReadSome(int TimeoutMs);          // reads what is there into FPending
  bool Sleep(int Ms);                    // false when stopped
  bool WriteAll(const std::string& Data);
  bool DoStep(std::size_t Index, const TPtyStep& Step);

  const int FComNumber;
  int FMaster = -1;
  int FSlave = -1;
  int FWake = -1;  // eventfd: wakes the device thread to stop
  std::string FSlavePath;

  std::thread FThread;
  std::atomic<bool> FStop{false};
  std::vector<TPtyStep> FScript;
  THandler FHandler;

  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::string FReceived;   // host bytes of this run
  std::string FPending;    // read, not yet matched by the script (device thread only)
  std::size_t FStep = 0;   // steps done
  bool FScriptMode = false;
  bool FDone = false;      // script completed
  std::string FFailure;    // first failure of this run
  bool FReported = true;   // FFailure has been returned by Finish
};
