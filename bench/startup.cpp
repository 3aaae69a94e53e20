// Compares Segno's start-up with the floor's (bench/floor/main.cpp) on the X display in
// $DISPLAY:  segno_startup [--runs N] FLOOR SEGNO
// It starts the two programs in turn, N times each after one unmeasured start of each, and
// times every run from its start to its top-level window being mapped, and to the last
// drawing into that window before it settles: the first complete picture. It reads VmRSS
// once the window has settled, then ends the program. Both programs get this program's
// environment, which scripts/startup-vs-floor sets up.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Event = std::unique_ptr<xcb_generic_event_t, decltype(&std::free)>;
using Samples = std::array<std::vector<double>, 3>;  // ms to mapped, ms to drawn, MiB
using namespace std::chrono_literals;

constexpr auto kSettle = 500ms;     // a window that draws nothing for this long has settled
constexpr auto kMapTimeout = 30s;   // a program slower than this to show its window failed
constexpr auto kDrawTimeout = 10s;  // and so has one that never stops drawing

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "segno_startup: %s\n", why.c_str());
  std::exit(1);
}

double msBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// The display's root window: top-level windows created and mapped (SubstructureNotify) and
// the drawing into them (DAMAGE).
class Screen {
 public:
  Screen() : c_(xcb_connect(nullptr, nullptr)) {
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c_, &xcb_damage_id);
    if (!damage || !damage->present) fail("no X display with the DAMAGE extension in $DISPLAY");
    damageNotify_ = static_cast<uint8_t>(damage->first_event + XCB_DAMAGE_NOTIFY);
    // The server takes no DAMAGE request from a client before it has agreed on the version.
    std::free(xcb_damage_query_version_reply(c_, xcb_damage_query_version(c_, 1, 1), nullptr));
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, &mask);
  }

  // Forgets every event so far, such as those of a program just ended.
  void drain() {
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    while (next(Clock::now())) continue;
  }

  // When the first top-level window created after start got mapped and when it was last drawn
  // into before it settled. Every such window is watched for drawing from its creation on.
  std::array<Clock::time_point, 2> watch(Clock::time_point start) {
    xcb_window_t window = XCB_NONE;
    Clock::time_point mapped, drawn, deadline = start + kMapTimeout;
    while (const Event event = next(deadline)) {
      const int type = event->response_type & 0x7f;
      const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event.get());
      const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
      const auto* damage = reinterpret_cast<xcb_damage_notify_event_t*>(event.get());
      if (type == XCB_CREATE_NOTIFY && !created->override_redirect) {
        xcb_damage_create(c_, xcb_generate_id(c_), created->window,
                          XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        xcb_flush(c_);
      } else if (type == XCB_MAP_NOTIFY && !map->override_redirect && window == XCB_NONE) {
        window = map->window;
        mapped = drawn = Clock::now();
      } else if (type == damageNotify_ && window != XCB_NONE && damage->drawable == window) {
        drawn = Clock::now();
      }
      if (window != XCB_NONE) deadline = std::min(drawn + kSettle, mapped + kDrawTimeout);
    }
    if (window == XCB_NONE) fail("a program mapped no window within 30 s");
    if (drawn + kSettle > mapped + kDrawTimeout) fail("a window kept drawing for 10 s");
    return {mapped, drawn};
  }

 private:
  // The next event or error (errors only tell of windows gone already), none after deadline.
  Event next(Clock::time_point deadline) {
    for (;;) {
      if (xcb_generic_event_t* event = xcb_poll_for_event(c_)) return {event, &std::free};
      const double left = msBetween(Clock::now(), deadline);
      if (left <= 0 || xcb_connection_has_error(c_)) return {nullptr, &std::free};
      pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
      poll(&fd, 1, static_cast<int>(left) + 1);
    }
  }

  xcb_connection_t* c_;
  uint8_t damageNotify_ = 0;
};

pid_t launch(const std::string& program) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  execl(program.c_str(), program.c_str(), nullptr);
  _exit(127);
}

double residentMiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024;
  fail("no VmRSS for process " + std::to_string(pid));
}

void measure(Screen& screen, const std::string& program, Samples& samples) {
  screen.drain();
  const Clock::time_point start = Clock::now();
  const pid_t pid = launch(program);
  const auto [mapped, drawn] = screen.watch(start);
  samples[0].push_back(msBetween(start, mapped));
  samples[1].push_back(msBetween(start, drawn));
  samples[2].push_back(residentMiB(pid));
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return (values[(values.size() - 1) / 2] + values[values.size() / 2]) / 2;
}

void report(const std::array<Samples, 2>& samples) {
  std::printf("%zu runs each, alternating; medians [min-max]\n%-12s%23s%23s%23s\n",
              samples[0][0].size(), "", "start to mapped (ms)", "start to drawn (ms)",
              "VmRSS settled (MiB)");
  for (size_t program = 0; program < 2; ++program) {
    std::printf("%-12s", program == 0 ? "floor" : "Segno");
    for (const std::vector<double>& values : samples[program]) {
      const auto [low, high] = std::minmax_element(values.begin(), values.end());
      std::printf(" %8.1f [%5.1f-%5.1f]", median(values), *low, *high);
    }
    std::printf("\n");
  }
  std::printf("%-12s", "Segno/floor");
  for (size_t column = 0; column < 3; ++column)
    std::printf("%9.2f%14s", median(samples[1][column]) / median(samples[0][column]), "");
  std::printf("target <= 1.10\n");
}

}  // namespace

int main(int argc, char* argv[]) {
  const int runs = argc == 5 && std::string(argv[1]) == "--runs" ? std::atoi(argv[2]) : 21;
  if ((argc != 3 && argc != 5) || runs < 1) fail("usage: segno_startup [--runs N] FLOOR SEGNO");
  const std::array<std::string, 2> programs{argv[argc - 2], argv[argc - 1]};
  Screen screen;
  std::array<Samples, 2> samples;
  Samples warmUp;
  // One unmeasured start of each fills the caches (disk, fontconfig) for both alike.
  for (const std::string& program : programs) measure(screen, program, warmUp);
  for (int run = 0; run < runs; ++run)
    for (size_t program = 0; program < 2; ++program)
      measure(screen, programs[program], samples[program]);
  report(samples);
}
