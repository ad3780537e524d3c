#include "ConsoleWindowSystem.h"

#include <algorithm>
#include <cctype>

namespace platform::console {

namespace {

bool SaysYes(std::string answer)
{
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    answer.erase(answer.begin(), std::find_if_not(answer.begin(), answer.end(), blank));
    answer.erase(std::find_if_not(answer.rbegin(), answer.rend(), blank).base(), answer.end());
    std::ranges::transform(answer, answer.begin(), [](unsigned char c) { return std::tolower(c); });
    return answer == "y" || answer == "yes";
}

}  // namespace

ConsoleWindowSystem::ConsoleWindowSystem(Terminal& terminal) : m_output(terminal) {}

ConsoleWindowSystem::~ConsoleWindowSystem() = default;

int ConsoleWindowSystem::RunModal(const DialogTemplate& dialogTemplate, Dialog* owner, DialogHandler& handler)
{
    (void)owner;
    ConsoleDialog dialog(m_output, dialogTemplate, &handler);
    handler.OnInitDialog(dialog);
    dialog.MarkShown();
    dialog.ProcessPostedClose();
    if (!dialog.Ended()) {
        if (const auto script = m_scripts.find(dialogTemplate.id); script != m_scripts.end()) {
            script->second(dialog);
        }
    }
    if (!dialog.Ended()) {
        dialog.PostClose();
        dialog.ProcessPostedClose();
    }
    if (!dialog.Ended()) {
        dialog.EndDialog(IDCANCEL);
    }
    return *dialog.Result();
}

std::unique_ptr<Dialog> ConsoleWindowSystem::CreateModeless(const DialogTemplate& dialogTemplate, Dialog* owner)
{
    (void)owner;
    return std::make_unique<ConsoleDialog>(m_output, dialogTemplate, nullptr);
}

int ConsoleWindowSystem::ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                                        std::uint32_t style)
{
    (void)owner;
    (void)caption;  // always the program's name
    const bool warning = (style & MB_ICONMASK) == MB_ICONWARNING;
    if (warning) {
        ++m_warnings;
    }
    m_output.Item(warning ? Stream::Err : Stream::Out, text);
    if ((style & MB_TYPEMASK) != MB_YESNO) {
        return IDOK;
    }
    return Answer();
}

int ConsoleWindowSystem::Answer()
{
    Terminal& terminal = m_output.GetTerminal();
    if (!m_yesBecause.empty()) {
        m_output.Write(Stream::Out, "[y/N] yes (" + m_yesBecause + ")\n");
        return IDYES;
    }
    if (!terminal.IsTerminal(Stream::In)) {
        m_output.Write(Stream::Out, "[y/N] no (standard input is not a terminal)\n");
        return IDNO;
    }
    m_output.Write(Stream::Out, "[y/N] ");
    const std::optional<std::string> line = terminal.ReadLine();
    if (!line) {
        m_output.Write(Stream::Out, "\n");  // the prompt's line ends all the same
        return IDNO;
    }
    return SaysYes(*line) ? IDYES : IDNO;
}

void ConsoleWindowSystem::OnModal(int templateId, std::function<void(ConsoleDialog&)> user)
{
    m_scripts[templateId] = std::move(user);
}

}  // namespace platform::console
