#include "WxDialog.h"

#include "WxIcons.h"
#include "platform/IconBitmap.h"

#include <wx/wx.h>

#include <algorithm>

namespace platform::wx {

namespace {

// A string of every letter: its width over 52 is the font's average
// character width, the horizontal base of dialog units.
constexpr const char* ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The size of a large icon, in pixels.
constexpr int ICON_SIZE = 32;

// Menu identifiers of the context menu's items, by position.
constexpr int FIRST_MENU_ID = wxID_HIGHEST + 1;

wxString ToWx(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

std::string FromWx(const wxString& text)
{
    return text.utf8_string();
}

Rect RectOf(const wxRect& rect)
{
    return {rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
}

// a * b / c rounded to the nearest, half away from zero: dialog units to
// pixels as the original platform converts them.
int Scale(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    return static_cast<int>(product >= 0 ? (product + c / 2) / c : (product - c / 2) / c);
}

// The virtual-key code of a wx key code, 0 for keys the program never names.
std::uint16_t VirtualKeyOf(int keyCode)
{
    if (keyCode >= WXK_F1 && keyCode <= WXK_F24) {
        return static_cast<std::uint16_t>(VK_F1 + (keyCode - WXK_F1));
    }
    if ((keyCode >= 'A' && keyCode <= 'Z') || (keyCode >= '0' && keyCode <= '9')) {
        return static_cast<std::uint16_t>(keyCode);
    }
    switch (keyCode) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        return VK_RETURN;
    case WXK_ESCAPE:
        return VK_ESCAPE;
    case WXK_SPACE:
        return 0x20;
    case WXK_TAB:
        return 0x09;
    case WXK_BACK:
        return 0x08;
    case WXK_PAGEUP:
        return 0x21;
    case WXK_PAGEDOWN:
        return 0x22;
    case WXK_END:
        return 0x23;
    case WXK_HOME:
        return 0x24;
    case WXK_LEFT:
        return 0x25;
    case WXK_UP:
        return 0x26;
    case WXK_RIGHT:
        return 0x27;
    case WXK_DOWN:
        return 0x28;
    case WXK_INSERT:
        return 0x2D;
    case WXK_DELETE:
        return 0x2E;
    default:
        return 0;
    }
}

std::uint8_t ModifiersOf(const wxKeyEvent& event)
{
    std::uint8_t modifiers = 0;
    if (event.ShiftDown()) {
        modifiers |= FSHIFT;
    }
    if (event.RawControlDown()) {
        modifiers |= FCONTROL;
    }
    if (event.AltDown()) {
        modifiers |= FALT;
    }
    return modifiers;
}

long DialogStyleOf(const DialogTemplate& dialogTemplate, bool hasOwner)
{
    long style = 0;
    if ((dialogTemplate.style & WS_CAPTION) == WS_CAPTION) {
        style |= wxCAPTION;
    }
    if ((dialogTemplate.style & WS_SYSMENU) != 0) {
        style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    }
    if ((dialogTemplate.style & WS_MINIMIZEBOX) != 0) {
        style |= wxMINIMIZE_BOX;
    }
    if ((dialogTemplate.style & WS_MAXIMIZEBOX) != 0) {
        style |= wxMAXIMIZE_BOX;
    }
    if (!hasOwner) {
        // Otherwise wx would pick the active window as the parent.
        style |= wxDIALOG_NO_PARENT;
    }
    return style;
}

}  // namespace

// ---------------------------------------------------------------------------
// WxControl

WxControl::WxControl(WxDialog& dialog, const ControlTemplate& control, wxWindow* native)
    : m_dialog(dialog),
      m_id(control.id),
      m_kind(control.kind),
      m_tabStop(control.tabStop),
      m_noPrefix(control.noPrefix),
      m_native(native),
      m_text(control.text)
{
    if (m_kind == ControlKind::StaticLeft || m_kind == ControlKind::StaticRight ||
        m_kind == ControlKind::StaticCenter) {
        ShowText();
    }
}

wxWindow* WxControl::Native() const
{
    return m_dialog.Native() != nullptr ? m_native : nullptr;
}

void WxControl::ShowText()
{
    auto* label = dynamic_cast<wxStaticText*>(Native());
    if (label == nullptr) {
        return;
    }
    // The text wraps at word boundaries inside the rectangle, as the
    // template's designer saw it; the lines keep their own breaks.
    if (m_noPrefix) {
        label->SetLabelText(ToWx(m_text));
    } else {
        label->SetLabel(ToWx(m_text));
    }
    label->Wrap(label->GetSize().GetWidth());
}

std::string WxControl::GetText() const
{
    if (m_kind == ControlKind::DropDownList) {
        const auto* list = dynamic_cast<const wxChoice*>(Native());
        return list != nullptr ? FromWx(list->GetStringSelection()) : std::string();
    }
    return m_text;
}

void WxControl::SetText(std::string_view text)
{
    if (m_kind == ControlKind::DropDownList) {
        return;
    }
    m_text = text;
    switch (m_kind) {
    case ControlKind::StaticLeft:
    case ControlKind::StaticRight:
    case ControlKind::StaticCenter:
        ShowText();
        break;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
        if (wxWindow* button = Native()) {
            button->SetLabel(ToWx(m_text));
        }
        break;
    default:
        break;  // an icon or a bar shows no text
    }
}

void WxControl::Enable(bool enable)
{
    if (wxWindow* native = Native()) {
        native->Enable(enable);
    }
}

bool WxControl::IsEnabled() const
{
    // The control's own state: the dialog may be disabled for a moment
    // while the progress window repaints.
    const wxWindow* native = Native();
    return native != nullptr && native->IsThisEnabled();
}

void WxControl::Show(bool show)
{
    if (wxWindow* native = Native()) {
        native->Show(show);
    }
}

bool WxControl::IsVisible() const
{
    const wxWindow* native = Native();
    return native != nullptr && native->IsShown();
}

Rect WxControl::GetWindowRect() const
{
    const wxWindow* native = Native();
    if (native == nullptr) {
        return {};
    }
    const wxRect own(m_dialog.ClientOrigin() + native->GetPosition(), native->GetSize());
    return RectOf(own);
}

void WxControl::Move(int left, int top)
{
    if (wxWindow* native = Native()) {
        native->Move(wxPoint(left, top) - m_dialog.ClientOrigin());
    }
}

int WxControl::AddString(std::string_view entry)
{
    auto* list = dynamic_cast<wxChoice*>(Native());
    return list != nullptr ? list->Append(ToWx(entry)) : CB_ERR;
}

int WxControl::SetCurSel(int index)
{
    auto* list = dynamic_cast<wxChoice*>(Native());
    if (list == nullptr) {
        return CB_ERR;
    }
    if (index < 0 || index >= static_cast<int>(list->GetCount())) {
        list->SetSelection(wxNOT_FOUND);
        return CB_ERR;
    }
    list->SetSelection(index);
    return index;
}

int WxControl::GetCurSel() const
{
    const auto* list = dynamic_cast<const wxChoice*>(Native());
    if (list == nullptr) {
        return CB_ERR;
    }
    const int selection = list->GetSelection();
    return selection == wxNOT_FOUND ? CB_ERR : selection;
}

int WxControl::GetCount() const
{
    const auto* list = dynamic_cast<const wxChoice*>(Native());
    return list != nullptr ? static_cast<int>(list->GetCount()) : CB_ERR;
}

void WxControl::SetRange(std::uint16_t lower, std::uint16_t upper)
{
    auto* bar = dynamic_cast<wxGauge*>(Native());
    if (bar == nullptr) {
        return;
    }
    m_lower = lower;
    m_upper = std::max(lower, upper);
    m_position = std::clamp<int>(m_position, m_lower, m_upper);
    bar->SetRange(std::max(1, m_upper - m_lower));
    bar->SetValue(m_position - m_lower);
}

void WxControl::SetPos(int position)
{
    auto* bar = dynamic_cast<wxGauge*>(Native());
    if (bar == nullptr) {
        return;
    }
    m_position = std::clamp<int>(position, m_lower, m_upper);
    bar->SetValue(m_position - m_lower);
    // The caller keeps the thread busy, so nothing would paint the new
    // position. A safe yield paints it and throws away the user's input
    // meanwhile (it disables the other windows for that moment), so no
    // handler runs in the middle of the caller's work. Disabling takes the
    // focus away on GTK; it goes back where it was.
    const wxWeakRef<wxWindow> focus(wxWindow::FindFocus());
    wxSafeYield(m_dialog.Native(), true);
    if (focus && focus->IsEnabled() && wxWindow::FindFocus() != focus.get()) {
        focus->SetFocus();
    }
}

// ---------------------------------------------------------------------------
// WxDialog

WxDialog::WxDialog(const DialogTemplate& dialogTemplate, WxDialog* owner, DialogHandler* handler)
    : m_handler(handler), m_hasSystemMenu((dialogTemplate.style & WS_SYSMENU) != 0)
{
    wxWindow* parent = owner != nullptr ? owner->Native() : nullptr;
    auto* native = new wxDialog(parent, wxID_ANY, ToWx(dialogTemplate.caption), wxDefaultPosition,
                                wxDefaultSize, DialogStyleOf(dialogTemplate, parent != nullptr));
    m_native = native;

    // The desktop's own font, so the dialog looks native and reads well; the
    // layout scales with it through the dialog units.
    native->SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    const wxSize alphabet = native->GetTextExtent(ALPHABET);
    m_baseX = std::max(1, (alphabet.GetWidth() / 26 + 1) / 2);
    m_baseY = std::max(1, native->GetCharHeight());
    const auto across = [this](int units) { return Scale(units, m_baseX, 4); };
    const auto down = [this](int units) { return Scale(units, m_baseY, 8); };

    native->SetClientSize(across(dialogTemplate.cx), down(dialogTemplate.cy));

    // Created in template order, which makes it the tab order.
    for (const ControlTemplate& control : dialogTemplate.controls) {
        const wxWindowID id = control.id > 0 ? control.id : wxID_ANY;
        const wxPoint at(across(control.x), down(control.y));
        const wxSize size(across(control.cx), down(control.cy));
        const wxString text = ToWx(control.text);
        wxWindow* made = nullptr;
        switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new wxButton(native, id, text, at, size);
            if (control.kind == ControlKind::DefPushButton) {
                button->SetDefault();
            }
            made = button;
            break;
        }
        case ControlKind::DropDownList:
            // The template's height includes the dropped list; the field
            // keeps its natural height. A wxChoice is one tab stop on GTK.
            made = new wxChoice(native, id, at, wxSize(size.GetWidth(), wxDefaultCoord), 0, nullptr,
                                control.sorted ? wxCB_SORT : 0);
            break;
        case ControlKind::StaticLeft:
        case ControlKind::StaticRight:
        case ControlKind::StaticCenter: {
            long align = wxALIGN_LEFT;
            if (control.kind == ControlKind::StaticRight) {
                align = wxALIGN_RIGHT;
            } else if (control.kind == ControlKind::StaticCenter) {
                align = wxALIGN_CENTRE_HORIZONTAL;
            }
            made = new wxStaticText(native, id, wxString(), at, size, align | wxST_NO_AUTORESIZE);
            break;
        }
        case ControlKind::Icon: {
            // Like the original's icon control: the program's icon resource
            // at the system's icon size, whatever the template's size.
            wxBitmap picture;
            if (const IconResource* icon = control.icon) {
                if (const IconImage* image = platform::ImageNearest(*icon, ICON_SIZE)) {
                    picture = BitmapOf(*image);
                }
            }
            made = new wxStaticBitmap(native, id, picture, at);
            break;
        }
        case ControlKind::ProgressBar: {
            // GTK draws a thin bar at the bottom of a taller one: the bar
            // keeps its natural height, centred in the template's rectangle.
            auto* bar = new wxGauge(native, id, 100, at, wxSize(size.GetWidth(), wxDefaultCoord),
                                    wxGA_HORIZONTAL | (control.smooth ? wxGA_SMOOTH : 0));
            const int height = std::min(size.GetHeight(), bar->GetBestSize().GetHeight());
            bar->SetSize(at.x, at.y + (size.GetHeight() - height) / 2, size.GetWidth(), height);
            made = bar;
            break;
        }
        }
        if (control.disabled) {
            made->Disable();
        }
        if (control.hidden) {
            made->Hide();
        }
        m_controls.push_back(std::make_unique<WxControl>(*this, control, made));
    }

    Place(dialogTemplate, owner);

    // The controls stay where the template puts them: a dialog with a
    // single child would otherwise stretch it over the whole client area.
    native->Bind(wxEVT_SIZE, [](wxSizeEvent&) {});

    // Escape, Enter and the close box are ours to route (see OnCharHook).
    native->SetEscapeId(wxID_NONE);
    native->Bind(wxEVT_BUTTON, &WxDialog::OnButton, this);
    native->Bind(wxEVT_CHAR_HOOK, &WxDialog::OnCharHook, this);
    native->Bind(wxEVT_CLOSE_WINDOW, &WxDialog::OnClose, this);
    native->Bind(wxEVT_CONTEXT_MENU, &WxDialog::OnContextMenu, this);
}

WxDialog::~WxDialog()
{
    m_controls.clear();
    if (wxDialog* native = Native()) {
        // Not inside one of its own events: deleting at once is safe and
        // leaves nothing for an idle time that may never come.
        delete native;
    }
}

void WxDialog::Place(const DialogTemplate& dialogTemplate, WxDialog* owner)
{
    wxDialog* native = Native();
    wxWindow* parent = owner != nullptr ? owner->Native() : nullptr;
    if (m_handler != nullptr && dialogTemplate.x == 0 && dialogTemplate.y == 0) {
        native->CentreOnParent();  // on the screen without a parent
        return;
    }
    // Otherwise the position counts from the owner's client area.
    wxPoint origin = owner != nullptr && parent != nullptr ? owner->ClientOrigin() : wxPoint(0, 0);
    origin += wxPoint(Scale(dialogTemplate.x, m_baseX, 4), Scale(dialogTemplate.y, m_baseY, 8));
    native->Move(origin);
}

std::string WxDialog::GetText() const
{
    return Native() != nullptr ? FromWx(Native()->GetTitle()) : std::string();
}

void WxDialog::SetText(std::string_view text)
{
    if (wxDialog* native = Native()) {
        native->SetTitle(ToWx(text));
    }
}

void WxDialog::Enable(bool enable)
{
    if (wxDialog* native = Native()) {
        native->Enable(enable);
    }
}

bool WxDialog::IsEnabled() const
{
    return Native() != nullptr && Native()->IsThisEnabled();
}

void WxDialog::Show(bool show)
{
    if (wxDialog* native = Native()) {
        native->Show(show);
    }
}

bool WxDialog::IsVisible() const
{
    return Native() != nullptr && Native()->IsShown();
}

Rect WxDialog::GetWindowRect() const
{
    return Native() != nullptr ? RectOf(Native()->GetScreenRect()) : Rect{};
}

void WxDialog::Move(int left, int top)
{
    if (wxDialog* native = Native()) {
        native->Move(left, top);
    }
}

wxPoint WxDialog::ClientOrigin() const
{
    const wxDialog* native = Native();
    if (native == nullptr) {
        return {};
    }
    if (native->IsShown()) {
        return native->ClientToScreen(wxPoint(0, 0));
    }
    // Not on the screen yet, so the toolkit cannot say: the frame's corner
    // plus its borders, the caption on top.
    const wxSize frame = native->GetSize();
    const wxSize client = native->GetClientSize();
    const int border = std::max(0, (frame.GetWidth() - client.GetWidth()) / 2);
    const int caption = std::max(0, frame.GetHeight() - client.GetHeight() - border);
    return native->GetPosition() + wxPoint(border, caption);
}

Window* WxDialog::GetDlgItem(int id)
{
    const auto found =
        std::ranges::find_if(m_controls, [id](const auto& control) { return control->Id() == id; });
    return found != m_controls.end() ? found->get() : nullptr;
}

void WxDialog::EndDialog(int result)
{
    if (m_handler == nullptr) {
        return;
    }
    m_result = result;
    m_ended = true;
    if (wxDialog* native = Native(); native != nullptr && native->IsModal()) {
        native->EndModal(result);
    }
}

void WxDialog::PostClose()
{
    wxDialog* native = Native();
    if (native == nullptr || m_closePosted) {
        return;
    }
    m_closePosted = true;
    native->CallAfter([this] { ProcessPostedClose(); });
}

void WxDialog::ProcessPostedClose()
{
    // A handler of this dialog still runs (a message box's loop, a yield of
    // the progress window): closing under it would pull the dialog away
    // from the code using it. The close waits until the handler returns.
    if (!m_closePosted) {
        return;
    }
    if (m_handlerDepth > 0) {
        m_closeDeferred = true;
        return;
    }
    m_closePosted = false;
    m_closeDeferred = false;
    if (!m_ended) {
        Command(IDCANCEL);
    }
}

void WxDialog::HandlerReturned()
{
    --m_handlerDepth;
    if (m_handlerDepth == 0 && m_closeDeferred && Native() != nullptr) {
        m_closeDeferred = false;
        Native()->CallAfter([this] { ProcessPostedClose(); });
    }
}

void WxDialog::SetAccelerators(std::span<const AcceleratorEntry> table)
{
    m_accelerators.assign(table.begin(), table.end());
}

void WxDialog::AppendSystemMenuSeparator()
{
    m_systemMenu.push_back({});
}

void WxDialog::AppendSystemMenuItem(std::uint32_t command, std::string_view text)
{
    m_systemMenu.push_back({command, std::string(text)});
}

void WxDialog::SetIcon(const IconResource* icon)
{
    if (wxDialog* native = Native()) {
        native->SetIcons(icon != nullptr ? IconBundleOf(*icon) : wxIconBundle());
    }
}

int WxDialog::RunModal()
{
    wxDialog* native = Native();
    if (native == nullptr || m_handler == nullptr) {
        return -1;
    }
    ++m_handlerDepth;
    m_handler->OnInitDialog(*this);
    HandlerReturned();
    if (!m_ended && Native() != nullptr) {
        FocusFirstTabStop();
        native->ShowModal();
    }
    return m_result;
}

void WxDialog::FocusFirstTabStop()
{
    // With no window manager nothing gets the focus by itself.
    for (const auto& control : m_controls) {
        wxWindow* native = control->Native();
        if (control->TabStop() && native != nullptr && native->IsThisEnabled() &&
            native->IsShown()) {
            native->SetFocus();
            return;
        }
    }
}

WxControl* WxDialog::DefaultButton()
{
    const auto found = std::ranges::find(m_controls, ControlKind::DefPushButton, &WxControl::Kind);
    return found != m_controls.end() ? found->get() : nullptr;
}

void WxDialog::Command(int id)
{
    if (m_handler == nullptr || m_ended) {
        return;
    }
    ++m_handlerDepth;
    const bool handled = m_handler->OnCommand(*this, id);
    HandlerReturned();
    if (!handled && (id == IDOK || id == IDCANCEL)) {
        EndDialog(id);
    }
}

void WxDialog::SystemCommand(std::uint32_t command)
{
    if (m_handler == nullptr || m_ended) {
        return;
    }
    ++m_handlerDepth;
    const bool handled = m_handler->OnSysCommand(*this, command);
    HandlerReturned();
    if (!handled && command == SC_CLOSE) {
        Command(IDCANCEL);
    }
}

void WxDialog::OnButton(wxCommandEvent& event)
{
    if (m_handler == nullptr) {
        return;
    }
    const auto found = std::ranges::find_if(m_controls, [&event](const auto& control) {
        return control->Native() == event.GetEventObject();
    });
    if (found != m_controls.end()) {
        Command((*found)->Id());
    }
}

bool WxDialog::TakesInput() const
{
    // Not while a modal child runs or the progress window repaints.
    return m_handler != nullptr && !m_ended && Native() != nullptr && Native()->IsEnabled();
}

void WxDialog::OnCharHook(wxKeyEvent& event)
{
    if (!TakesInput()) {
        event.Skip();
        return;
    }
    const std::uint16_t key = VirtualKeyOf(event.GetKeyCode());
    const std::uint8_t modifiers = ModifiersOf(event);
    if (key == 0) {
        event.Skip();
        return;
    }
    // The accelerators come before any control sees the key.
    if (const std::uint16_t command = TranslateAccelerator(m_accelerators, key, modifiers);
        command != 0) {
        Command(command);
        return;
    }
    if (key == VK_ESCAPE && modifiers == 0) {
        Command(IDCANCEL);
        return;
    }
    if (key == VK_F4 && modifiers == FALT) {
        // The window manager's close key; without one it arrives here.
        SystemCommand(SC_CLOSE);
        return;
    }
    if (key == 0x20 && modifiers == FALT && m_hasSystemMenu) {
        ShowSystemMenu(wxDefaultPosition);
        return;
    }
    if (key == VK_RETURN && modifiers == 0) {
        // Enter clicks the focused push button, else the default button;
        // a drop-down list does not open on it.
        const wxWindow* focus = wxWindow::FindFocus();
        const auto focused = std::ranges::find_if(m_controls, [focus](const auto& control) {
            return control->Native() == focus;
        });
        WxControl* target = nullptr;
        if (focused != m_controls.end() && ((*focused)->Kind() == ControlKind::PushButton ||
                                            (*focused)->Kind() == ControlKind::DefPushButton)) {
            target = focused->get();
        } else {
            target = DefaultButton();
        }
        if (target != nullptr && target->IsEnabled() && target->IsVisible()) {
            Command(target->Id());
        }
        return;
    }
    event.Skip();
}

void WxDialog::OnClose(wxCloseEvent& event)
{
    // The window is ours to destroy, never the toolkit's.
    if (event.CanVeto()) {
        event.Veto();
    }
    if (m_handler != nullptr && m_handlerDepth == 0) {
        SystemCommand(SC_CLOSE);
    }
}

void WxDialog::OnContextMenu(wxContextMenuEvent& event)
{
    if (!TakesInput() || !m_hasSystemMenu) {
        return;
    }
    ShowSystemMenu(event.GetPosition());
}

void WxDialog::ShowSystemMenu(const wxPoint& where)
{
    wxDialog* native = Native();
    if (native == nullptr) {
        return;
    }
    // GTK has no title-bar menu: the dialog's context menu stands in for
    // it, with the close item every system menu has and the program's own.
    wxMenu menu;
    std::vector<std::uint32_t> commands{SC_CLOSE};
    menu.Append(FIRST_MENU_ID, "&Close\tAlt+F4");
    for (const MenuItem& item : m_systemMenu) {
        if (item.text.empty()) {
            menu.AppendSeparator();
            continue;
        }
        menu.Append(FIRST_MENU_ID + static_cast<int>(commands.size()), ToWx(item.text));
        commands.push_back(item.command);
    }

    wxPoint at = where;
    if (at == wxDefaultPosition) {
        // From the keyboard: under the focused control.
        wxWindow* focus = wxWindow::FindFocus();
        at = focus != nullptr && wxGetTopLevelParent(focus) == native
                 ? native->ScreenToClient(focus->GetScreenRect().GetBottomLeft())
                 : wxPoint(0, 0);
    } else {
        at = native->ScreenToClient(at);
    }
    const int chosen = native->GetPopupMenuSelectionFromUser(menu, at);
    const int index = chosen - FIRST_MENU_ID;
    if (chosen != wxID_NONE && index >= 0 && index < static_cast<int>(commands.size())) {
        SystemCommand(commands[index]);
    }
}

}  // namespace platform::wx
