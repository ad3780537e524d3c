#include "WxMessageBox.h"

#include "platform/WindowSystem.h"

#include <wx/artprov.h>
#include <wx/wx.h>

#include <algorithm>
#include <vector>

namespace platform::wx {

namespace {

// Lines no longer than this many average characters are never wrapped: the
// texts bring their own line breaks.
constexpr int MAX_LINE_CHARS = 100;
constexpr int MARGIN = 12;

constexpr std::uint32_t MB_ICONERROR = 0x010;

wxArtID ArtOf(std::uint32_t style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return wxART_ERROR;
    case MB_ICONQUESTION:
        return wxART_QUESTION;
    case MB_ICONWARNING:
        return wxART_WARNING;
    case MB_ICONINFORMATION:
        return wxART_INFORMATION;
    default:
        return wxArtID();
    }
}

class MessageBox {
public:
    MessageBox(wxWindow* owner, std::string_view text, std::string_view caption,
               std::uint32_t style)
        : m_yesNo((style & MB_TYPEMASK) == MB_YESNO)
    {
        long frame = wxCAPTION;
        if (!m_yesNo) {
            frame |= wxSYSTEM_MENU | wxCLOSE_BOX;  // a Yes/No box has no close box
        }
        if (owner == nullptr) {
            frame |= wxDIALOG_NO_PARENT;
        }
        m_dialog = new wxDialog(owner, wxID_ANY, wxString::FromUTF8(caption.data(), caption.size()),
                                wxDefaultPosition, wxDefaultSize, frame);
        m_dialog->SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));

        auto* body = new wxBoxSizer(wxHORIZONTAL);
        if (const wxArtID art = ArtOf(style); !art.empty()) {
            const wxBitmap icon = wxArtProvider::GetBitmap(art, wxART_MESSAGE_BOX);
            if (icon.IsOk()) {
                body->Add(new wxStaticBitmap(m_dialog, wxID_ANY, icon), 0, wxALIGN_TOP | wxRIGHT,
                          MARGIN);
            }
        }
        auto* label = new wxStaticText(m_dialog, wxID_ANY, wxString());
        label->SetLabelText(wxString::FromUTF8(text.data(), text.size()));
        const int averageChar = std::max(1, m_dialog->GetCharWidth());
        const int widest = std::min(MAX_LINE_CHARS * averageChar,
                                    wxGetDisplaySize().GetWidth() * 9 / 10 - 100);
        label->Wrap(std::max(averageChar * 20, widest));
        body->Add(label, 1, wxALIGN_CENTRE_VERTICAL);

        // Yes before No, left to right, as the program's users know them.
        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        const wxSize minimum = m_dialog->ConvertDialogToPixels(wxSize(50, 14));
        if (m_yesNo) {
            AddButton(buttons, "&Yes", IDYES, minimum);
            AddButton(buttons, "&No", IDNO, minimum);
            m_default = (style & MB_DEFMASK) == MB_DEFBUTTON2 ? IDNO : IDYES;
        } else {
            AddButton(buttons, "OK", IDOK, minimum);
            m_default = IDOK;
        }

        auto* top = new wxBoxSizer(wxVERTICAL);
        top->Add(body, 1, wxEXPAND | wxALL, MARGIN);
        top->Add(buttons, 0, wxALIGN_CENTRE_HORIZONTAL | wxLEFT | wxRIGHT | wxBOTTOM, MARGIN);
        m_dialog->SetSizerAndFit(top);

        m_dialog->SetEscapeId(wxID_NONE);
        m_dialog->Bind(wxEVT_CHAR_HOOK, &MessageBox::OnCharHook, this);
        m_dialog->Bind(wxEVT_CLOSE_WINDOW, &MessageBox::OnClose, this);
        m_dialog->CentreOnParent();  // on the screen without an owner
    }

    ~MessageBox() { delete m_dialog; }
    MessageBox(const MessageBox&) = delete;
    MessageBox& operator=(const MessageBox&) = delete;

    int Run()
    {
        if (wxButton* button = ButtonOf(m_default)) {
            button->SetDefault();
            button->SetFocus();  // with no window manager nothing else would
        }
        m_dialog->ShowModal();
        return m_answer;
    }

private:
    void AddButton(wxSizer* row, const char* label, int answer, const wxSize& minimum)
    {
        auto* button = new wxButton(m_dialog, wxID_ANY, label);
        button->SetMinSize(wxSize(std::max(minimum.GetWidth(), button->GetBestSize().GetWidth()),
                                  -1));
        button->Bind(wxEVT_BUTTON, [this, answer](wxCommandEvent&) { Answer(answer); });
        row->Add(button, 0, row->IsEmpty() ? 0 : wxLEFT, MARGIN / 2);
        m_buttons.push_back({button, answer});
    }

    wxButton* ButtonOf(int answer) const
    {
        const auto found = std::ranges::find(m_buttons, answer, &Button::answer);
        return found != m_buttons.end() ? found->button : nullptr;
    }

    void Answer(int answer)
    {
        if (m_answer != 0) {
            return;
        }
        m_answer = answer;
        if (m_dialog->IsModal()) {
            m_dialog->EndModal(answer);
        }
    }

    void OnCharHook(wxKeyEvent& event)
    {
        const int key = event.GetKeyCode();
        const int modifiers = event.GetModifiers();
        if (key == WXK_ESCAPE && modifiers == wxMOD_NONE) {
            // An OK box closes with Escape; a Yes/No box wants an answer.
            if (!m_yesNo) {
                Answer(IDOK);
            }
            return;
        }
        if (key == WXK_F4 && modifiers == wxMOD_ALT) {
            if (!m_yesNo) {
                Answer(IDOK);
            }
            return;
        }
        if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && modifiers == wxMOD_NONE) {
            // The focused button, else the default one.
            const wxWindow* focus = wxWindow::FindFocus();
            const auto focused = std::ranges::find(m_buttons, focus, [](const Button& button) {
                return static_cast<const wxWindow*>(button.button);
            });
            Answer(focused != m_buttons.end() ? focused->answer : m_default);
            return;
        }
        if (m_yesNo && (modifiers == wxMOD_NONE || modifiers == wxMOD_ALT)) {
            // The buttons' mnemonics work without Alt, as in a message box.
            if (key == 'Y') {
                Answer(IDYES);
                return;
            }
            if (key == 'N') {
                Answer(IDNO);
                return;
            }
        }
        event.Skip();
    }

    void OnClose(wxCloseEvent& event)
    {
        if (event.CanVeto()) {
            event.Veto();
        }
        if (!m_yesNo) {
            Answer(IDOK);
        }
    }

    struct Button {
        wxButton* button;
        int answer;
    };

    wxDialog* m_dialog = nullptr;
    bool m_yesNo;
    int m_default = IDOK;
    int m_answer = 0;
    std::vector<Button> m_buttons;
};

}  // namespace

int RunMessageBox(wxWindow* owner, std::string_view text, std::string_view caption,
                  std::uint32_t style)
{
    MessageBox box(owner, text, caption, style);
    return box.Run();
}

}  // namespace platform::wx
