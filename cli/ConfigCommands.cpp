// read, diff, write, set, show: the configuration through params/ (transfer with two
// agreeing copies per block, files, lookup, the edit dialog's checks, differences).
#include <ostream>

#include "cli/Commands.h"
#include "cli/Configuration.h"
#include "cli/Errors.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/Platform.h"
#include "cli/StatusOutput.h"
#include "cli/Suggest.h"
#include "cli/Table.h"
#include "params/ConfigFile.h"
#include "params/Catalog.h"
#include "params/NodeText.h"
#include "params/ValueCheck.h"

namespace lum::cli {

namespace {

// The controller's whole configuration memory, every block read until two copies agree.
ConfigImage ReadImage(Context& ctx, Session& s) {
    auto op = s.Link().Tx.Begin();
    ConfigImage image = ErasedImage();
    const ReadResult r =
        ReadConfiguration(op, image, ctx.Progress("Чтение параметров из устройства..."), [] { return Interrupted(); });
    ctx.EndProgress();
    s.Check();
    RequireDone(ReadOutcome(r));
    return image;
}

// The catalogue for a file that goes to (or is compared with) the connected controller: a
// JSON file read from another model is refused unless --model says which to use.
std::uint8_t ModelForFile(Context& ctx, const ConfigurationFile& file, const std::string& path) {
    const std::uint8_t model = ctx.Model();
    if (ctx.Options().model || !file.Model || *file.Model == model) return model;
    throw CliError(ExitBadArguments, path + ": прочитан с контроллера модели " + std::to_string(*file.Model) +
                                         ", а подключен контроллер модели " + std::to_string(model) +
                                         "; --model " + std::to_string(model) +
                                         ", чтобы расшифровать его по каталогу подключенного");
}

// Writes the image and reads it back; the exit code. A port that fails part way says which
// blocks the controller may already hold.
int WriteAndVerify(Context& ctx, Session& s, const IParamTree& tree, const ConfigImage& current,
                   const ConfigImage& image, const Changes& planned, bool json) {
    std::size_t blocksSent = 0;
    const TransferProgressFn shown = ctx.Progress("Запись параметров в устройство...");
    auto progress = [&](TransferStage stage, int position) {
        if (stage == TransferStage::Write) ++blocksSent;
        shown(stage, position);
    };
    WriteResult r;
    {
        auto op = s.Link().Tx.Begin();
        try {
            r = WriteConfiguration(op, image, progress, [] { return Interrupted(); });
        } catch (const CliError& lost) {
            ctx.EndProgress();
            if (!s.PortFailed()) throw;
            WriteResult partial;
            partial.Failure = TransferFailure::NoReply;
            partial.BlocksWritten = std::min(blocksSent, WriteBlocks.size());
            throw CliError(lost.Code(), std::string(lost.what()) + "\n" +
                                            (blocksSent == 0 ? std::string("Ни один блок не записан.")
                                                             : WriteOutcome(partial, tree, image).text));
        }
    }
    ctx.EndProgress();
    s.Check();
    const Outcome said = WriteOutcome(r, tree, image);
    const Changes differing = WriteChanges(tree, image, r.ReadBack);
    if (json) {
        nlohmann::json result = {{"changes", ChangesJson(planned, "before", "after", current, image)},
                                 {"dry_run", false},
                                 {"blocks_written", r.BlocksWritten},
                                 {"verified", r.Verified},
                                 {"ok", said.Ok()},
                                 {"message", said.text}};
        result["read_back"] = r.Verified ? ChangesJson(differing, "written", "read", image, r.ReadBack)
                                         : nlohmann::json(nullptr);
        ctx.Out() << JsonText(result);
    } else if (said.kind == OutcomeKind::Mismatch) {
        ctx.Out() << ChangesTable(differing, "Записано", "Прочитано", image, r.ReadBack);
    }
    RequireDone(said);
    if (!json) ctx.Info() << said.text << " " << kVerifiedByReading << "\n";
    return ExitDone;
}

// The edit dialog's checks and the value into the tree; the refusal, if any. The command
// line takes numbers with a decimal point.
std::optional<std::string> SetValue(IParamTree& tree, std::size_t index, const std::string& text) {
    try {
        return SetParameterValue(tree, index, text, '.');
    } catch (const NodeTextError&) {
        return "значение не может содержать «;»";
    }
}

// Shows what a write of `next` over `current` will change, then writes it and reads it
// back unless nothing changes or this is a dry run.
int ApplyChanges(Context& ctx, Session& s, const IParamTree& tree, const ConfigImage& current,
                 const ConfigImage& next, const WriteOptions& options) {
    const Changes changes = WriteChanges(tree, current, next);
    if (changes.Empty() || options.dryRun) {
        if (options.json) {
            ctx.Out() << JsonText({{"changes", ChangesJson(changes, "before", "after", current, next)},
                                    {"dry_run", options.dryRun},
                                    {"blocks_written", 0},
                                    {"verified", false},
                                    {"ok", true},
                                    {"read_back", nullptr},
                                    {"message", changes.Empty() ? "Изменений нет" : "Ничего не отправлено"}});
        } else if (changes.Empty()) {
            ctx.Info() << "Изменений нет: значения в контроллере уже такие. Ничего не записано.\n";
        } else {
            ctx.Out() << "Будет изменено:\n" << ChangesTable(changes, "Сейчас", "Станет", current, next);
            ctx.Info() << "Проверочный запуск (--dry-run): ничего не отправлено.\n";
        }
        return ExitDone;
    }
    if (!options.json) ctx.Info() << "Будет изменено:\n" << ChangesTable(changes, "Сейчас", "Станет", current, next);
    return WriteAndVerify(ctx, s, tree, current, next, changes, options.json);
}

}  // namespace

int CmdRead(Context& ctx, const std::optional<std::string>& outFile, bool json) {
    Session& s = ctx.Open();
    const std::uint8_t model = ctx.Model();
    const ConfigImage image = ReadImage(ctx, s);
    const ParamTreeModel tree = TreeFromImage(model, image);
    if (outFile) {
        ConfigImage packed = ErasedImage();
        PackTreeToImage(tree, packed);  // the window's save: 255 for read-only rows and free bytes
        WriteOutputFile(*outFile, json ? JsonText(ConfigurationJson(model, image, tree)) : FormatConfigFile(packed),
                        ctx.Out());
        if (*outFile != "-")
            ctx.Info() << "Параметры прочитаны из устройства (" << ModelName(model) << ") и сохранены в " << *outFile
                       << "\n";
        return ExitDone;
    }
    if (json) {
        ctx.Out() << JsonText(ConfigurationJson(model, image, tree));
    } else {
        ctx.Out() << "Модель: " << ModelName(model) << " (" << int(model) << ")\n" << ParametersTable(tree);
    }
    return ExitDone;
}

int CmdParams(Context& ctx, bool json) {
    const std::uint8_t model = static_cast<std::uint8_t>(ctx.Options().model.value_or(ModelPetrolV2));
    const ParamTreeModel tree = CatalogTree(model);
    nlohmann::json list = nlohmann::json::array();
    Table t({"Параметр", "Вид", "Ед.", "Мин.", "Макс.", "Адрес", "Байт", "Варианты"});
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) {
        const std::int32_t kind = std::stoi(GetNodeField(tree, i, FieldKind));
        if (kind == KindGroup) continue;
        std::vector<std::string> items;
        for (const auto item : ChoiceItems(kind)) items.emplace_back(item);
        const char* kindText = kind == KindReadOnly ? "только чтение" : IsChoiceKind(kind) ? "список" : "число";
        std::string joined;
        for (const auto& item : items) joined += (joined.empty() ? "" : " / ") + item;
        list.push_back({{"path", ParamPath(tree, i)}, {"kind", kind}, {"kind_text", kindText},
                        {"unit", GetNodeField(tree, i, FieldUnit)}, {"min", GetNodeField(tree, i, FieldMin)},
                        {"max", GetNodeField(tree, i, FieldMax)},
                        {"address", std::stoi(GetNodeField(tree, i, FieldAddress))},
                        {"size", std::stoi(GetNodeField(tree, i, FieldSize))}, {"items", items},
                        {"default", GetNodeField(tree, i, FieldValue)}});
        t.Add({ParamPath(tree, i), kindText, GetNodeField(tree, i, FieldUnit), GetNodeField(tree, i, FieldMin),
               GetNodeField(tree, i, FieldMax), GetNodeField(tree, i, FieldAddress), GetNodeField(tree, i, FieldSize),
               joined});
    }
    if (json) {
        ctx.Out() << JsonText({{"model", model}, {"model_name", ModelName(model)}, {"parameters", list}});
    } else {
        ctx.Out() << "Модель: " << ModelName(model) << " (" << int(model) << ")\n" << t.Render();
    }
    return ExitDone;
}

int CmdShow(Context& ctx, const std::string& file, bool json) {
    const ConfigurationFile f = LoadConfiguration(file);
    std::uint8_t model = f.Model.value_or(ModelPetrolV2);
    if (ctx.Options().model) model = ctx.Model();
    const ParamTreeModel tree = TreeFromImage(model, f.Image);
    if (json) {
        ctx.Out() << JsonText(ConfigurationJson(model, f.Image, tree));
    } else {
        ctx.Out() << "Модель: " << ModelName(model) << " (" << int(model) << ")\n" << ParametersTable(tree);
    }
    return ExitDone;
}

int CmdDiff(Context& ctx, const std::string& file, bool json) {
    const ConfigurationFile f = LoadConfiguration(file);
    Session& s = ctx.Open();
    const std::uint8_t model = ModelForFile(ctx, f, file);
    const ConfigImage wanted = NormalisedImage(model, f.Image);
    const ConfigImage current = ReadImage(ctx, s);
    const ParamTreeModel tree = CatalogTree(model);
    const Changes changes = WriteChanges(tree, current, wanted);
    if (json) {
        ctx.Out() << JsonText({{"model", model}, {"differences", ChangesJson(changes, "controller", "file", current, wanted)}});
    } else if (changes.Empty()) {
        ctx.Out() << "Различий нет.\n";
    } else {
        ctx.Out() << ChangesTable(changes, "В контроллере", "В файле", current, wanted);
    }
    return changes.Empty() ? ExitDone : ExitVerifyFailed;
}

int CmdWrite(Context& ctx, const std::string& file, const WriteOptions& options) {
    const ConfigurationFile f = LoadConfiguration(file);  // a bad file stops before the line is opened
    Session& s = ctx.Open();
    const std::uint8_t model = ModelForFile(ctx, f, file);
    const ConfigImage image = NormalisedImage(model, f.Image);
    const ConfigImage current = ReadImage(ctx, s);
    const ParamTreeModel tree = CatalogTree(model);
    return ApplyChanges(ctx, s, tree, current, image, options);
}

int CmdSet(Context& ctx, const std::vector<std::string>& assignments, const WriteOptions& options) {
    struct Assignment {
        std::string path, value;
    };
    std::vector<Assignment> list;
    for (const auto& a : assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos || eq == 0)
            throw CliError(ExitBadArguments, "«" + ShortToken(a) + "»: нужно ПУТЬ=ЗНАЧЕНИЕ");
        list.push_back({a.substr(0, eq), a.substr(eq + 1)});
    }
    Session& s = ctx.Open();
    const std::uint8_t model = ctx.Model();

    // Names and values are checked against the catalogue before anything is read or written.
    ParamTreeModel tree = CatalogTree(model);
    std::vector<std::size_t> nodes;
    for (const auto& a : list) {
        const LookupResult found = FindParameter(tree, a.path);
        if (!found.Index) {
            const std::vector<std::string> offered =
                found.Ambiguous ? found.Candidates : NearParameterPaths(tree, a.path);
            std::string text = "«" + ShortToken(a.path) + "»: " +
                               (found.Ambiguous ? "подходит несколько параметров; варианты:"
                                                : offered.empty() ? "нет такого параметра (список: lumctl params)"
                                                                  : "нет такого параметра; возможно, имелся в виду:");
            for (const auto& c : offered) text += "\n  " + c;
            throw CliError(ExitBadArguments, text);
        }
        const std::size_t i = *found.Index;
        if (const auto refused = SetValue(tree, i, a.value)) {
            std::string text = ParamPath(tree, i) + " = «" + ShortToken(a.value) + "»: " + *refused;
            const std::string min = GetNodeField(tree, i, FieldMin), max = GetNodeField(tree, i, FieldMax);
            if (!min.empty() && !max.empty()) text += " (" + min + " … " + max + ")";
            throw CliError(ExitBadArguments, text);
        }
        nodes.push_back(i);
    }

    const ConfigImage current = ReadImage(ctx, s);
    UnpackImageToTree(tree, current);
    for (std::size_t k = 0; k < list.size(); ++k) SetValue(tree, nodes[k], list[k].value);
    ConfigImage image = ErasedImage();
    try {
        PackTreeToImage(tree, image);
    } catch (const PackError& e) {
        throw CliError(ExitBadArguments, std::string("значение нельзя записать: ") + e.what());
    }
    return ApplyChanges(ctx, s, tree, current, image, options);
}

}  // namespace lum::cli
