// The real lumctl program against the simulated controller on a pseudo-terminal: what it
// reads, writes, lists and refuses, checked against the controller's own memory and
// journals, and its exit codes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>
#include <nlohmann/json.hpp>

#include "params/ConfigFile.h"
#include "params/Packing.h"
#include "sim/SimRunner.h"
#include "tests/cli/LumctlProgram.h"
#include "tests/support/LinkedController.h"

namespace lum::test {
namespace {

using namespace std::chrono_literals;
using sim::Memory;
using sim::SimOptions;

SimOptions Fast(std::uint8_t model = 200) {
    SimOptions o;
    o.model = model;
    o.interval = 50ms;
    o.seed = 7;
    return o;
}

// A simulated controller on its own pseudo-terminal.
struct Controller {
    explicit Controller(const SimOptions& options = Fast()) : path(sim.Start(options)) {}
    Memory GetMemory() {
        Memory m{};
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { m = core.GetMemory(); });
        return m;
    }
    void SetBytes(std::size_t address, std::initializer_list<std::uint8_t> bytes) {
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) {
            std::copy(bytes.begin(), bytes.end(), core.MutableMemory().begin() + static_cast<long>(address));
        });
    }
    sim::SimStats Stats() {
        sim::SimStats s;
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { s = core.Stats(); });
        return s;
    }
    // Waits (at most 5 s) until the controller has taken in `count` intact requests: a frame
    // the tool wrote just before it exited may still sit in the line's buffer.
    bool WaitForRequests(int count) {
        for (int i = 0; i < 500; ++i) {
            if (Stats().requests >= count) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    ProgramRun Run(std::vector<std::string> args, const RunOptions& options = {}) {
        args.insert(args.begin(), {"-p", path});
        return RunLumctl(args, options);
    }
    sim::SimRunner sim;
    std::string path;
};

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "lumctl-" + std::to_string(getpid()) + "-" + name;
}

// Addresses whose bytes differ between two memories.
std::vector<std::size_t> Changed(const Memory& a, const Memory& b) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) out.push_back(i);
    return out;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// ---- configuration ---------------------------------------------------------------------

TEST(LumctlConfiguration, ReadToFileThenWriteOfThatFileRoundTrips) {
    Controller c;
    // A controller whose settings are not the defaults: mains lower threshold 170, phone 1.
    c.SetBytes(36, {0, 170});
    c.SetBytes(80, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    const std::string file = TempPath("roundtrip.txt");
    const ProgramRun read = c.Run({"read", "-o", file});
    ASSERT_EQ(read.code, 0) << read.err;
    EXPECT_EQ(read.err, "");  // no progress when stderr is not a terminal
    const Memory original = c.GetMemory();

    // The file is the window's: the memory packed back, 255 for the read-only rows.
    const ConfigImage saved = LoadConfigFile(file);
    EXPECT_EQ(saved[36], 0);
    EXPECT_EQ(saved[37], 170);
    for (std::size_t a = 180; a < 192; ++a) EXPECT_EQ(saved[a], 255) << a;  // counters, serial number
    for (std::size_t a = 0; a < 4; ++a) EXPECT_EQ(saved[a], 255) << a;      // motor hours

    // Back to the defaults, then the file written: the memory is as it was read.
    c.SetBytes(36, {0, 180});
    c.SetBytes(80, {255, 255, 255, 255, 255, 255, 255, 255, 255, 255});
    const ProgramRun write = c.Run({"write", file});
    EXPECT_EQ(write.code, 0) << write.err;
    EXPECT_TRUE(Contains(write.out, "Параметры сети/Напряжение сети/Нижний порог")) << write.out;
    EXPECT_TRUE(Contains(write.out, "Проверено чтением")) << write.out;
    EXPECT_EQ(Changed(original, c.GetMemory()), std::vector<std::size_t>{});
    std::remove(file.c_str());
}

TEST(LumctlConfiguration, SetChangesExactlyTheNamedParameter) {
    Controller c;
    const Memory before = c.GetMemory();
    const ProgramRun full = c.Run({"set", "Параметры сети/Напряжение сети/Нижний порог=170"});
    ASSERT_EQ(full.code, 0) << full.err;
    Memory after = c.GetMemory();
    EXPECT_EQ(Changed(before, after), std::vector<std::size_t>{37});
    EXPECT_EQ(after[36], 0);
    EXPECT_EQ(after[37], 170);
    EXPECT_TRUE(Contains(full.out, "180")) << full.out;  // what it was, printed before the write

    // A unique final name is enough; two assignments at once; a list item.
    const ProgramRun two = c.Run({"set", "Нижний порог напряжения АКБ ГУ=110", "Термодатчик/Активность датчика=вкл."});
    ASSERT_EQ(two.code, 0) << two.err;
    const Memory third = c.GetMemory();
    EXPECT_EQ(Changed(after, third), (std::vector<std::size_t>{14, 41}));
    EXPECT_EQ(third[41], 110);
    EXPECT_EQ(third[14], 1);
}

TEST(LumctlConfiguration, SetRefusesWhatTheEditDialogRefusesAndWritesNothing) {
    Controller c;
    const Memory before = c.GetMemory();
    struct Case {
        std::string assignment, message;
    } cases[] = {
        {"Нижний порог=170", "Параметры электрогенератора/Напряжение электрогенератора/Нижний порог"},  // ambiguous
        {"Нет такого=1", "нет такого параметра"},
        {"Параметры сети/Напряжение сети/Нижний порог=159", "Значение вне диапазона"},
        {"Параметры сети/Напряжение сети/Нижний порог=abc", "Значение должно быть числом"},
        {"Термодатчик/Активность датчика=да", "вкл."},
        {"Серийный номер устройства=1", ""},  // a read-only row takes no value
        {"без знака равенства", "ПУТЬ=ЗНАЧЕНИЕ"},
    };
    for (const auto& k : cases) {
        const ProgramRun r = c.Run({"set", k.assignment});
        EXPECT_EQ(r.code, 2) << k.assignment << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, k.message)) << k.assignment << "\n" << r.err;
    }
    // A value the dialog lets through but packing cannot take (a fraction): nothing written.
    const ProgramRun fraction = c.Run({"set", "Параметры сети/Напряжение сети/Нижний порог=170.5"});
    EXPECT_EQ(fraction.code, 2) << fraction.err;
    EXPECT_EQ(Changed(before, c.GetMemory()), std::vector<std::size_t>{});
    EXPECT_EQ(c.Stats().ignoredWrites, 0);
}

TEST(LumctlConfiguration, DiffListsExactlyTheEditedParameters) {
    Controller c;
    const std::string file = TempPath("diff.txt");
    ASSERT_EQ(c.Run({"read", "-o", file}).code, 0);
    const ProgramRun same = c.Run({"diff", file});
    EXPECT_EQ(same.code, 0) << same.err;
    EXPECT_TRUE(Contains(same.out, "Различий нет")) << same.out;

    ConfigImage edited = LoadConfigFile(file);
    edited[39] = 10;                 // mains upper threshold 260 -> 266
    edited[72] = 1;                  // engine type бензин -> дизель
    SaveConfigFile(file, edited);
    const ProgramRun r = c.Run({"diff", file, "--json"});
    EXPECT_EQ(r.code, 3) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json.at("differences").size(), 2u) << r.out;
    EXPECT_EQ(json["differences"][0]["path"], "Тип двигателя электрогенератора");
    EXPECT_EQ(json["differences"][0]["controller"], "бензин");
    EXPECT_EQ(json["differences"][0]["file"], "дизель");
    EXPECT_EQ(json["differences"][1]["path"], "Параметры сети/Напряжение сети/Верхний порог");
    EXPECT_EQ(json["differences"][1]["file"], "266");
    const ProgramRun table = c.Run({"diff", file});
    EXPECT_EQ(table.code, 3);
    EXPECT_TRUE(Contains(table.out, "Верхний порог  260")) << table.out;
    std::remove(file.c_str());
}

TEST(LumctlConfiguration, AFileWithABadTokenIsRefusedAndNothingIsSent) {
    Controller c;
    const std::string file = TempPath("bad.txt");
    ASSERT_EQ(c.Run({"read", "-o", file}).code, 0);
    std::string text = ReadWholeFile(file);
    text.replace(text.find("180"), 3, "18O");  // the letter O on line 3
    WriteFileAtomically(file, text);
    const int requestsBefore = c.Stats().requests;
    const Memory before = c.GetMemory();
    const ProgramRun r = c.Run({"write", file});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "Строка 3")) << r.err;
    EXPECT_TRUE(Contains(r.err, "18O")) << r.err;
    EXPECT_EQ(c.Stats().requests, requestsBefore);  // the line was not even opened
    EXPECT_EQ(before, c.GetMemory());
    EXPECT_EQ(c.Run({"diff", file}).code, 2);
    EXPECT_EQ(RunLumctl({"show", file}).code, 2);
    std::remove(file.c_str());
}

TEST(LumctlConfiguration, ABlockTheControllerIgnoresFailsVerificationNamingItsParameters) {
    SimOptions o = Fast();
    o.ignoreWritesAt = 64;
    Controller c(o);
    const ProgramRun r = c.Run({"set", "Параметры GSM модема/Телефонный номер 1/Номер абонента=0123456789",
                                "Параметры сети/Напряжение сети/Нижний порог=170"});
    EXPECT_EQ(r.code, 3) << r.err;
    const std::string differ = r.out.substr(r.out.find("Записано"));
    EXPECT_TRUE(Contains(differ, "Телефонный номер 1/Номер абонента")) << r.out;
    EXPECT_FALSE(Contains(differ, "Напряжение сети/Нижний порог")) << r.out;  // its block was taken
    EXPECT_TRUE(Contains(r.err, "отличаются от записанных")) << r.err;
    EXPECT_EQ(c.GetMemory()[37], 170);
}

TEST(LumctlConfiguration, AJsonFileOfAnotherModelIsRefusedUnlessTheModelIsForced) {
    Controller petrol(Fast(200));
    const std::string file = TempPath("petrol.json");
    ASSERT_EQ(petrol.Run({"read", "--json", "-o", file}).code, 0);
    Controller diesel(Fast(201));
    const Memory before = diesel.GetMemory();
    const ProgramRun refused = diesel.Run({"write", file});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(Contains(refused.err, "--model 201")) << refused.err;
    EXPECT_EQ(before, diesel.GetMemory());
    const ProgramRun forced = diesel.Run({"--model", "201", "write", file});
    EXPECT_EQ(forced.code, 0) << forced.err;
    std::remove(file.c_str());
}

TEST(LumctlConfiguration, ShowDecodesAFileOfflineWithTheChosenCatalogue) {
    const std::string file = TempPath("show.txt");
    SaveConfigFile(file, DefaultImageForModel(201));
    const ProgramRun r = RunLumctl({"show", file, "--model", "201", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["model"], 201);
    bool glow = false;
    for (const auto& p : json["parameters"]) glow = glow || p["name"] == "Время прогрева свечи";
    EXPECT_TRUE(glow);  // a diesel-only row
    EXPECT_EQ(RunLumctl({"show", file, "--model", "7"}).code, 2);
    std::remove(file.c_str());
}

// ---- status, journal, service ------------------------------------------------------------

TEST(LumctlStatus, JsonCarriesTheControllersValues) {
    SimOptions o = Fast(30);
    Controller c(o);
    c.SetBytes(0, {0, 0, 0x30, 0x39});  // motor hours: 12345 minutes
    const ProgramRun r = c.Run({"status", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    std::vector<std::uint8_t> data;
    c.sim.WithController([&](sim::ControllerCore& core, sim::TimePoint now) { data = core.StatusData(now); });
    EXPECT_EQ(json["model"], 30);
    EXPECT_EQ(json["model_name"], "ЛУМ-бензин v3");
    EXPECT_EQ(json["mode"], "auto");
    EXPECT_EQ(json["motor_minutes"], 12345);
    EXPECT_EQ(json["minutes_to_service"], (data[25] << 8) | data[26]);
    EXPECT_EQ(json["flags"]["three_phase"], (data[2] & 1) != 0);
    for (const char* phase : {"phase_a", "phase_b", "phase_c"}) {
        EXPECT_GE(json["voltage"][phase].get<int>(), 100) << phase;
        EXPECT_LE(json["voltage"][phase].get<int>(), 305) << phase;
    }
    EXPECT_EQ(json["temperature_c"].size(), 4u);
    EXPECT_FALSE(json["state"].get<std::string>().empty());
}

TEST(LumctlStatus, FollowPrintsOneJsonObjectPerRecordUntilCtrlC) {
    Controller c;
    RunOptions o;
    o.interruptWhen = [](const std::string& out, const std::string&) {
        return std::count(out.begin(), out.end(), '\n') >= 5;
    };
    const ProgramRun r = c.Run({"status", "--follow", "--json"}, o);
    EXPECT_EQ(r.code, 130);
    std::size_t lines = 0, start = 0;
    for (std::size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1, ++lines)
        EXPECT_EQ(nlohmann::json::parse(r.out.substr(start, end - start))["model"], 200);
    EXPECT_GE(lines, 5u);
}

TEST(LumctlJournal, JsonListsWhatTheControllerHolds) {
    SimOptions o = Fast();
    o.eventRecords = 12;
    o.alarmRecords = 3;
    Controller c(o);
    const ProgramRun r = c.Run({"journal", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    for (int selector : {0, 1}) {
        std::vector<sim::JournalRecord> held;
        c.sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { held = core.Journal(selector); });
        const auto& listed = json[selector == 0 ? "events" : "alarms"];
        ASSERT_EQ(listed.size(), held.size()) << selector;
        for (std::size_t i = 0; i < held.size(); ++i) {
            EXPECT_EQ(listed[i]["code"], held[i].code);
            char time[8];
            std::snprintf(time, sizeof time, "%02d:%02d", held[i].hour, held[i].minute);
            EXPECT_EQ(listed[i]["time"], time);
        }
    }
    EXPECT_EQ(json["unread"], 0);
    const ProgramRun csv = c.Run({"journal", "--csv"});
    EXPECT_EQ(csv.code, 0);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 1 + 12 + 3);
    EXPECT_EQ(c.Run({"journal", "--csv", "--json"}).code, 2);
}

TEST(LumctlService, CommandsReachTheControllerAndPasswordedWritesAreCheckedBack) {
    Controller c;
    EXPECT_EQ(c.Run({"semi-auto"}).code, 0);
    bool semi = false;
    c.sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { semi = core.SemiAutomatic(); });
    EXPECT_TRUE(semi);
    EXPECT_EQ(c.Run({"start", "25:00"}).code, 2);  // beyond what two bytes of seconds hold
    EXPECT_EQ(c.Run({"start", "1:3x"}).code, 2);

    const Memory before = c.GetMemory();
    const ProgramRun refused = c.Run({"motor-hours", "1000:05"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(Contains(refused.err, "пароль")) << refused.err;
    EXPECT_EQ(before, c.GetMemory());
    const ProgramRun motor = c.Run({"--service-password", "40617283", "motor-hours", "1000:05"});
    EXPECT_EQ(motor.code, 0) << motor.err;
    const Memory m = c.GetMemory();
    EXPECT_EQ(std::vector<int>(m.begin(), m.begin() + 4), (std::vector<int>{0x00, 0x00, 0xEA, 0x65}));
    EXPECT_EQ(c.Run({"--service-password", "40617283", "serial-number", "1234567"}).code, 2);
    EXPECT_EQ(c.Run({"--service-password", "40617283", "serial-number", "ABCDEFGH"}).code, 0);
    const Memory serial = c.GetMemory();
    EXPECT_EQ(std::string(serial.begin() + 184, serial.begin() + 192), "ABCDEFGH");
}

// ---- failures, traffic, arguments --------------------------------------------------------

TEST(LumctlFailures, AControllerThatDropsEveryRequestGivesExitOne) {
    SimOptions o = Fast();
    o.drop = 1.0;
    Controller c(o);
    // (A one-way command counts as done once sent: the controller confirms nothing.)
    // Reads say the controller sends but does not answer; the journal, given up by lumctl
    // after three records in a row, says there is no link.
    const std::string noAnswer = "Устройство передает кадры, но не отвечает на запросы.";
    const std::string noLink = "Нет связи. Устройство занято или не подключено.";
    for (const auto& [args, says] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"read"}, noAnswer},
             {{"journal"}, noLink},
             {{"set", "Параметры сети/Напряжение сети/Нижний порог=170"}, noAnswer},
             {{"--service-password", "40617283", "motor-hours", "1:00"}, noAnswer}}) {
        const ProgramRun r = c.Run(args);
        EXPECT_EQ(r.code, 1) << args[0] << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, says)) << args[0] << r.err;
    }
    SimOptions silent = Fast();
    silent.silent = true;
    Controller quiet(silent);
    const ProgramRun r = quiet.Run({"--timeout", "500", "status"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "Нет связи")) << r.err;
    const ProgramRun missing = RunLumctl({"-p", "/dev/lum-no-such-port", "status"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(Contains(missing.err, "/dev/lum-no-such-port: не найден")) << missing.err;
}

TEST(LumctlFailures, CtrlCDuringAWriteFinishesTheBlockAndSaysWhichWereWritten) {
    Controller c;
    const std::string file = TempPath("ctrlc.txt");
    ConfigImage image = DefaultImageForModel(200);
    image[37] = 170;   // block 4..63
    image[139] = 2;    // block 128..179: not reached
    image[137] = 9;
    SaveConfigFile(file, image);
    const Memory before = c.GetMemory();
    RunOptions o;
    // Ctrl-C once the first write frame has gone out.
    o.interruptWhen = [](const std::string&, const std::string& err) { return Contains(err, "->  00 04 0004"); };
    const ProgramRun r = c.Run({"--trace", "write", file}, o);
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_TRUE(Contains(r.err, "записаны блоки (адреса) 4–63")) << r.err;
    int sent = 0;
    for (std::size_t at = 0; (at = r.err.find("  ->  ", at)) != std::string::npos; ++at) ++sent;
    ASSERT_TRUE(c.WaitForRequests(sent)) << "frames sent " << sent << ", taken in " << c.Stats().requests;
    const Memory after = c.GetMemory();
    EXPECT_EQ(after[37], 170);          // the block in flight was finished
    EXPECT_EQ(after[137], before[137]);  // later blocks were not sent
    std::remove(file.c_str());
}

// ---- where results go ----------------------------------------------------------------

// The device is a pseudo-terminal of the test's own (what lumctl writes is read on its other
// end): a tool that renamed a file over a device would fail there instead of replacing a
// device of the system such as /dev/null.
TEST(LumctlOutput, DashOTakesTheKindOfFileThePathNames) {
    Controller c;
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
    const std::string device = ptsname(master);
    const int keep = open(device.c_str(), O_RDWR | O_NOCTTY);  // raw, so that bytes pass as written
    termios raw{};
    tcgetattr(keep, &raw);
    cfmakeraw(&raw);
    tcsetattr(keep, TCSANOW, &raw);
    const std::string dir = TempPath("out-");
    const std::string target = dir + "target.txt", link = dir + "link.txt", fifo = dir + "fifo";
    WriteFileAtomically(target, "old");
    chmod(target.c_str(), 0600);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int fifoEnd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // held open: the writer need not wait
    struct Case {
        std::string path;
        mode_t kind;  // what the path must still be afterwards
    } cases[] = {{device, S_IFCHR}, {link, S_IFLNK}, {fifo, S_IFIFO}};
    for (const auto& k : cases) {
        const ProgramRun r = c.Run({"read", "-o", k.path});
        EXPECT_EQ(r.code, 0) << k.path << "\n" << r.err;
        struct stat st {};
        ASSERT_EQ(lstat(k.path.c_str(), &st), 0) << k.path;
        EXPECT_EQ(st.st_mode & S_IFMT, k.kind) << k.path;
    }
    auto drain = [](int fd) {
        std::string all;
        char buffer[4096];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<std::size_t>(n));
        close(fd);
        return all;
    };
    const std::string fromFifo = drain(fifoEnd), fromDevice = drain(master);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the link's target replaced, its mode kept
    const ConfigImage read = ParseConfigFile(ReadWholeFile(target));
    EXPECT_EQ(ParseConfigFile(fromFifo), read);
    EXPECT_EQ(ParseConfigFile(fromDevice), read);

    const ProgramRun dash = c.Run({"read", "-o", "-"});
    EXPECT_EQ(dash.code, 0) << dash.err;
    EXPECT_EQ(ParseConfigFile(dash.out), read);
    EXPECT_NE(access("-", F_OK), 0);  // no file named "-"
    EXPECT_EQ(c.Run({"read", "-o", ""}).code, 2);
    close(keep);
    for (const auto& f : {target, link, fifo}) std::remove(f.c_str());
}

TEST(LumctlOutput, AFailedStandardOutputIsAnErrorAndAClosedPipeEndsAsSigpipe) {
    Controller c;
    RunOptions full;
    full.stdoutFile = "/dev/full";
    const ProgramRun r = c.Run({"read", "--json"}, full);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "стандартный вывод")) << r.err;
    RunOptions closed;
    closed.closeStdout = true;
    closed.timeout = std::chrono::milliseconds(20000);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"status", "--follow", "--json"},
                                                std::vector<std::string>{"monitor"}}) {
        const ProgramRun gone = c.Run(args, closed);
        EXPECT_FALSE(gone.timedOut) << args[0];
        EXPECT_EQ(gone.code, 128 + SIGPIPE) << args[0] << gone.err;
        EXPECT_EQ(gone.err, "") << args[0];
    }
}

TEST(LumctlFiles, NumbersMustFitTheirBytesAndMessagesStayShort) {
    const std::string file = TempPath("fit.json"), folder = ::testing::TempDir();
    nlohmann::json j = {{"model", 200}, {"image", std::vector<std::uint64_t>(256, 255)}};
    struct Case {
        std::string content;
        int code;
    } cases[] = {
        {[&] { auto k = j; k["image"][0] = 4294967466ull; return k.dump(); }(), 2},
        {[&] { auto k = j; k["image"][0] = -1; return k.dump(); }(), 2},
        {[&] { auto k = j; k["model"] = 4294967496ull; return k.dump(); }(), 2},
        {"\xEF\xBB\xBF" + j.dump(), 0},
        {"\xEF\xBB\xBF" + FormatConfigFile(ErasedImage()), 0},
        {std::string(10'000'000, '7') + "\x01", 2},
        {"{\"image\": [1, 2", 2},
    };
    for (const auto& k : cases) {
        WriteFileAtomically(file, k.content);
        const ProgramRun r = RunLumctl({"show", file, "--json"});
        EXPECT_EQ(r.code, k.code) << k.content.substr(0, 80) << "\n" << r.err;
        EXPECT_LT(r.err.size(), 400u) << k.content.substr(0, 80);
    }
    const ProgramRun dir = RunLumctl({"show", folder});
    EXPECT_EQ(dir.code, 2);
    EXPECT_TRUE(Contains(dir.err, folder)) << dir.err;
    std::remove(file.c_str());
}

// Following goes on over a controller away for 3 s and back: the loss said once, then attempts unless -q.
TEST(LumctlFollow, ALostPortIsOpenedAgainAndFollowingGoesOn) {
    for (const bool quiet : {false, true}) {
        test::LinkedController c(TempPath("follow-link"), 50);
        std::size_t mark = 0;  // output when the controller went
        std::chrono::steady_clock::time_point stopped;
        RunOptions o;
        o.interruptWhen = [&](const std::string& out, const std::string&) {
            if (!mark && std::count(out.begin(), out.end(), '\n') >= 4) {
                mark = out.size();
                c.Stop();
                stopped = std::chrono::steady_clock::now();
            } else if (mark && stopped.time_since_epoch().count() && std::chrono::steady_clock::now() - stopped >= 3s) {
                c.Start();
                stopped = {};
            }
            return mark && !stopped.time_since_epoch().count() && std::count(out.begin() + long(mark), out.end(), '\n') >= 3;
        };
        const ProgramRun r = RunLumctl({"-p", c.link, quiet ? "-q" : "status", quiet ? "monitor" : "--follow"}, o);
        EXPECT_EQ(r.code, 130) << r.err;
        const std::string lost = "lumctl: Устройство " + c.link + " отключено", note = "Переподключение к " + c.link + "…\n";
        EXPECT_EQ(r.err.find(lost), r.err.rfind(lost)) << r.err;
        EXPECT_LT(r.err.find(lost), r.err.find(note)) << r.err;
        EXPECT_EQ(r.err.find(note) == std::string::npos, quiet) << r.err;
    }
}

TEST(LumctlFailures, ALineThatDiesMidCommandEndsItAtOnceSayingWhatWasWritten) {
    const std::string file = TempPath("dies.txt");
    ConfigImage image = DefaultImageForModel(200);
    image[37] = 170;  // block 4..63
    image[137] = 9;   // block 128..179
    SaveConfigFile(file, image);
    struct Case {
        std::vector<std::string> args;
        std::string killAfter, says;
    } cases[] = {
        {{"--trace", "write", file}, "->  00 04 0004", "записаны блоки (адреса) 4–63"},
        {{"--trace", "read"}, "->  01 05", "отключено"},
        {{"--trace", "journal"}, "->  00 28", "отключено"},
    };
    for (const auto& k : cases) {
        Controller c;
        RunOptions o;
        o.timeout = std::chrono::milliseconds(20000);
        o.interruptWhen = [&](const std::string&, const std::string& err) {
            if (Contains(err, k.killAfter)) c.sim.Stop();
            return false;
        };
        const ProgramRun r = c.Run(k.args, o);
        EXPECT_EQ(r.code, 1) << k.args[1] << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, k.says)) << r.err;
    }
    std::remove(file.c_str());
}

TEST(LumctlChecks, FaultsInTheToolsOwnChecksAreCaught) {
    SimOptions lost = Fast();
    lost.ignoreWritesAt = 0;  // the motor-hours counter's block
    Controller motor(lost);
    EXPECT_EQ(motor.Run({"--service-password", "40617283", "motor-hours", "1000:05"}).code, 3);
    SimOptions lostSerial = Fast();
    lostSerial.ignoreWritesAt = 184;
    Controller serial(lostSerial);
    EXPECT_EQ(serial.Run({"--service-password", "40617283", "serial-number", "ABCDEFGH"}).code, 3);

    SimOptions lostBlock = Fast();
    lostBlock.ignoreWritesAt = 128;
    Controller block(lostBlock);
    const std::string file = TempPath("one-byte.txt");
    ConfigImage image = DefaultImageForModel(200);
    image[137] = 9;  // one byte of block 128..179
    SaveConfigFile(file, image);
    EXPECT_EQ(block.Run({"write", file}).code, 3);
    std::remove(file.c_str());

    Controller c;
    const int requests = c.Stats().requests;
    for (const char* time : {"1:60", "1:-5", "-1:05"}) EXPECT_EQ(c.Run({"start", time}).code, 2) << time;
    EXPECT_EQ(c.Run({"serial-number", "ABCDEFGH"}).code, 2);  // no password
    EXPECT_EQ(c.Run({"--model", "456", "read"}).code, 2);
    EXPECT_EQ(c.Stats().requests, requests);

    SimOptions deaf = Fast();
    deaf.drop = 1.0;
    Controller journal(deaf);
    const ProgramRun r = journal.Run({"--trace", "journal"});
    EXPECT_EQ(r.code, 1);
    // Given up after three records in a row without a reply, however often each was tried.
    std::set<std::string> records;
    const std::string request = "->  00 28 0000 02  ";
    for (std::size_t at = 0; (at = r.err.find(request, at)) != std::string::npos; ++at)
        records.insert(r.err.substr(at + request.size(), 5));
    EXPECT_EQ(records.size(), 3u) << r.err;
}

TEST(LumctlConventions, ScriptsGetVersionsHelpSuggestionsDryRunsAndJson) {
    const ProgramRun version = RunLumctl({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(Contains(version.out, "lumctl ") && Contains(version.out, "ревизия")) << version.out;
    const ProgramRun help = RunLumctl({"help", "write"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(Contains(help.out, "--dry-run") && Contains(help.out, "Коды завершения")) << help.out;
    const ProgramRun typo = RunLumctl({"staus"});
    EXPECT_EQ(typo.code, 2);
    EXPECT_TRUE(Contains(typo.err, "status")) << typo.err;
    EXPECT_EQ(RunLumctl({"--demo", "-p", "/dev/null", "status"}).code, 2);
    const auto params = nlohmann::json::parse(RunLumctl({"params", "--model", "201", "--json"}).out);
    EXPECT_EQ(params["model"], 201);
    EXPECT_GT(params["parameters"].size(), 50u);

    Controller c;
    const Memory before = c.GetMemory();
    const ProgramRun near = c.Run({"set", "Параметры сети/Напряжение сети/Нижний парог=170"});
    EXPECT_EQ(near.code, 2);
    EXPECT_TRUE(Contains(near.err, "Параметры сети/Напряжение сети/Нижний порог")) << near.err;
    const ProgramRun dry = c.Run({"set", "--dry-run", "Параметры сети/Напряжение сети/Нижний порог=170"});
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_TRUE(Contains(dry.out, "170")) << dry.out;
    EXPECT_EQ(before, c.GetMemory());
    const std::string file = TempPath("same.txt");
    ASSERT_EQ(c.Run({"read", "-o", file}).code, 0);
    const int requests = c.Stats().requests;
    const ProgramRun same = c.Run({"write", file});
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(c.Stats().requests - requests, 8);  // four blocks read twice, none written

    setenv("LUM_PORT", c.path.c_str(), 1);
    const ProgramRun set = RunLumctl({"set", "--json", "Параметры сети/Напряжение сети/Нижний порог=170"});
    unsetenv("LUM_PORT");
    ASSERT_EQ(set.code, 0) << set.err;
    const auto result = nlohmann::json::parse(set.out);
    EXPECT_EQ(result["changes"][0]["after"], "170");
    EXPECT_EQ(result["verified"], true);
    EXPECT_EQ(c.GetMemory()[37], 170);
    const ProgramRun follow = c.Run({"status", "--follow", "--count", "2", "--json"});
    EXPECT_EQ(follow.code, 0);
    EXPECT_EQ(std::count(follow.out.begin(), follow.out.end(), '\n'), 2);
    std::remove(file.c_str());
}

TEST(LumctlMonitor, MarksCorruptedFramesUnderNoise) {
    SimOptions o = Fast();
    o.noise = 0.01;
    Controller c(o);
    const ProgramRun r = c.Run({"monitor", "--frames", "60"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "ОШИБКА КС")) << r.out;
    EXPECT_TRUE(Contains(r.out, "КС верна  состояние")) << r.out;
    std::size_t frames = 0;
    for (std::size_t at = 0; (at = r.out.find("  КС ", at)) != std::string::npos; ++at) ++frames;
    for (std::size_t at = 0; (at = r.out.find("  ОШИБКА КС", at)) != std::string::npos; ++at) ++frames;
    EXPECT_EQ(frames, 60u);
    const ProgramRun raw = c.Run({"monitor", "--raw", "--frames", "2"});
    EXPECT_EQ(raw.code, 0);
    EXPECT_TRUE(Contains(raw.out, "<10>01")) << raw.out;
    EXPECT_TRUE(Contains(raw.out, "<0D>")) << raw.out;
}

TEST(LumctlArguments, HelpForTheToolAndEachCommandWithAnExample) {
    const ProgramRun help = RunLumctl({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* command : {"ports", "status", "read", "diff", "write", "set", "journal", "clock-sync", "auto",
                                "semi-auto", "start", "stop", "sms-test", "gprs-test", "modem-restart",
                                "motor-hours", "serial-number", "monitor", "show"}) {
        EXPECT_TRUE(Contains(help.out, command)) << command;
        const ProgramRun sub = RunLumctl({command, "--help"});
        EXPECT_EQ(sub.code, 0) << command;
        EXPECT_TRUE(Contains(sub.out, std::string("Пример:\n  lumctl ")) && Contains(sub.out, command))
            << command << "\n" << sub.out;
    }
    EXPECT_EQ(RunLumctl({}).code, 2);
    EXPECT_EQ(RunLumctl({"status", "--no-such-option"}).code, 2);
    EXPECT_EQ(RunLumctl({"status"}).code, 2);  // neither a port nor --demo
    EXPECT_EQ(RunLumctl({"-p", "COM", "status"}).code, 1);
}

TEST(LumctlDemo, StatusJsonComesFromTheBuiltInController) {
    const ProgramRun r = RunLumctl({"--demo", "--model", "202", "status", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["model"], 202);
    const ProgramRun ports = RunLumctl({"ports", "--json"});
    EXPECT_EQ(ports.code, 0);
    EXPECT_TRUE(nlohmann::json::parse(ports.out).is_array());
}

}  // namespace
}  // namespace lum::test
