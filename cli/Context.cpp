#include "cli/Context.h"

#include <ostream>

#include "cli/Errors.h"
#include "cli/Platform.h"
#include "cli/Traffic.h"
#include "params/Catalog.h"

namespace lum::cli {

Context::Context(GlobalOptions options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err) {}

Context::~Context() {
    EndProgress();
    session_.reset();  // the port closes before the demo controller stops
}

Session& Context::Open() {
    if (session_) return *session_;
    std::string port = options_.port;
    if (options_.demo) {
        const int model = options_.model.value_or(200);
        if (model < 0 || model > 255 || !IsKnownModel(static_cast<std::uint8_t>(model)))
            throw CliError(ExitBadArguments, "--model: неизвестная модель " + std::to_string(model));
        try {
            port = demo_.Start(static_cast<std::uint8_t>(model), std::chrono::milliseconds(options_.demoInterval));
        } catch (const std::exception& e) {
            throw CliError(ExitNoController, std::string("демо-контроллер: ") + e.what());
        }
    } else if (port.empty()) {
        throw CliError(ExitBadArguments, "укажите порт (-p COMn или путь к устройству) или --demo");
    }
    Session::Options so{port, {}};
    if (options_.trace) {
        so.echo = [this](const std::string& line) { err_ << FormatSent(line, std::chrono::system_clock::now()); };
    }
    Detail() << "порт " << port << (options_.demo ? " (встроенный имитатор)" : "") << "\n";
    session_ = std::make_unique<Session>(std::move(so));
    Detail() << "порт открыт\n";
    if (options_.trace) {
        session_->OnFrame = [this](const LinkState& s) {
            err_ << FormatReceived(s, std::chrono::system_clock::now());
        };
    }
    return *session_;
}

std::uint8_t Context::Model() {
    if (options_.model) {
        const auto code = static_cast<std::uint8_t>(*options_.model);
        if (!IsKnownModel(code) || *options_.model != code)
            throw CliError(ExitBadArguments, "--model: неизвестная модель " + std::to_string(*options_.model) +
                                                 " (" + ModelCodeList(" или ") + ")");
        return code;
    }
    const StatusRecord& first = Open().WaitForStatus(std::chrono::milliseconds(options_.statusTimeout));
    Detail() << "модель из записи состояния: " << int(first.ModelCode) << "\n";
    if (!IsKnownModel(first.ModelCode))
        throw CliError(ExitNoController, "контроллер сообщает неизвестную модель " + std::to_string(first.ModelCode) +
                                             "; укажите --model");
    return first.ModelCode;
}

TransferProgressFn Context::Progress(const std::string& caption) {
    return [this, caption](TransferStage stage, int position) {
        const char* what = stage == TransferStage::Verify ? " (проверка)" : "";
        Progress(caption + what, position);
    };
}

void Context::Progress(const std::string& caption, int position) {
    if (options_.verbose) {
        err_ << caption << " " << position << "%\n";
        return;
    }
    if (options_.quiet || !StderrIsTerminal()) return;
    err_ << "\r\x1b[K" << caption << " " << position << "%" << std::flush;
    progressShown_ = true;
}

void Context::EndProgress() {
    if (progressShown_) {
        err_ << "\r\x1b[K" << std::flush;
        progressShown_ = false;
    }
    // The link's health, as far as a transfer changed it (-v).
    if (session_ && session_->Link().State.ChainingOff && !saidChainingOff_) {
        Detail() << "контроллер не ответил на запрос, посланный сразу за его ответом: дальше каждый запрос "
                    "ждёт следующего кадра контроллера\n";
        saidChainingOff_ = true;
    }
}

}  // namespace lum::cli
