// read, diff, write, set, show: the configuration through params/ (transfer with two
// agreeing copies per block, files, lookup, the edit dialog's checks, differences).
#include <ostream>

#include "cli/Commands.h"
#include "cli/Configuration.h"
#include "cli/Errors.h"
#include "cli/Json.h"
#include "cli/Platform.h"
#include "cli/StatusOutput.h"
#include "params/ConfigFile.h"
#include "params/NodeText.h"

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

// Writes the image and reads it back; the exit code.
int WriteAndVerify(Context& ctx, Session& s, const IParamTree& tree, const ConfigImage& image) {
    auto op = s.Link().Tx.Begin();
    const WriteResult r =
        WriteConfiguration(op, image, ctx.Progress("Запись параметров в устройство..."), [] { return Interrupted(); });
    ctx.EndProgress();
    op.Release();
    s.Check();
    const Outcome said = WriteOutcome(r, tree, image);
    if (said.kind == OutcomeKind::Mismatch)
        ctx.Out() << ChangesTable(WriteChanges(tree, image, r.ReadBack), "Записано", "Прочитано", image, r.ReadBack);
    RequireDone(said);
    ctx.Out() << said.text << " " << kVerifiedByReading << "\n";
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

// Prints what a write of `next` over `current` will change; false when nothing will.
bool ShowPlannedChanges(Context& ctx, const IParamTree& tree, const ConfigImage& current, const ConfigImage& next) {
    const Changes changes = WriteChanges(tree, current, next);
    if (changes.Empty()) {
        ctx.Out() << "Изменений нет: значения в контроллере уже такие.\n";
        return false;
    }
    ctx.Out() << "Будет изменено:\n" << ChangesTable(changes, "Сейчас", "Станет", current, next);
    return true;
}

}  // namespace

int CmdRead(Context& ctx, const std::string& outFile, bool json) {
    Session& s = ctx.Open();
    const std::uint8_t model = ctx.Model();
    const ConfigImage image = ReadImage(ctx, s);
    const ParamTreeModel tree = TreeFromImage(model, image);
    if (!outFile.empty()) {
        ConfigImage packed = ErasedImage();
        PackTreeToImage(tree, packed);  // the window's save: 255 for read-only rows and free bytes
        try {
            if (json) {
                WriteFileAtomically(outFile, JsonText(ConfigurationJson(model, image, tree)));
            } else {
                SaveConfigFile(outFile, packed);
            }
        } catch (const FileError& e) {
            throw CliError(ExitBadArguments, e.what());
        }
        ctx.Out() << "Параметры прочитаны из устройства (" << ModelName(model) << ") и сохранены в " << outFile
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

int CmdWrite(Context& ctx, const std::string& file) {
    const ConfigurationFile f = LoadConfiguration(file);  // a bad file stops before the line is opened
    Session& s = ctx.Open();
    const std::uint8_t model = ModelForFile(ctx, f, file);
    const ConfigImage image = NormalisedImage(model, f.Image);
    const ConfigImage current = ReadImage(ctx, s);
    const ParamTreeModel tree = CatalogTree(model);
    ShowPlannedChanges(ctx, tree, current, image);
    return WriteAndVerify(ctx, s, tree, image);
}

int CmdSet(Context& ctx, const std::vector<std::string>& assignments) {
    struct Assignment {
        std::string path, value;
    };
    std::vector<Assignment> list;
    for (const auto& a : assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos || eq == 0)
            throw CliError(ExitBadArguments, "«" + a + "»: нужно ПУТЬ=ЗНАЧЕНИЕ");
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
            std::string text = "«" + a.path + "»: " + (found.Ambiguous ? "подходит несколько параметров" : "нет такого параметра") +
                               (found.Candidates.empty() ? "" : "; варианты:");
            for (const auto& c : found.Candidates) text += "\n  " + c;
            throw CliError(ExitBadArguments, text);
        }
        const std::size_t i = *found.Index;
        if (const auto refused = SetValue(tree, i, a.value)) {
            std::string text = ParamPath(tree, i) + " = «" + a.value + "»: " + *refused;
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
    if (!ShowPlannedChanges(ctx, tree, current, image)) return ExitDone;
    return WriteAndVerify(ctx, s, tree, image);
}

}  // namespace lum::cli
