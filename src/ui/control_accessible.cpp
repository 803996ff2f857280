#include "ui/control_accessible.h"

#include <oleacc.h>

namespace {

// The system's object for the window, with the role replaced; everything
// else is the system's answer.
class PushButtonAccessible final : public IAccessible {
public:
    explicit PushButtonAccessible(IAccessible* standard) : standard_(standard) {}
    PushButtonAccessible(const PushButtonAccessible&) = delete;
    PushButtonAccessible& operator=(const PushButtonAccessible&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IAccessible) return E_NOINTERFACE;
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF || !role) return standard_->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_PUSHBUTTON;
        return S_OK;
    }

#define LUMAREST_FORWARD(name, parameters, arguments) \
    HRESULT STDMETHODCALLTYPE name parameters override { return standard_->name arguments; }
    LUMAREST_FORWARD(GetTypeInfoCount, (UINT * count), (count))
    LUMAREST_FORWARD(GetTypeInfo, (UINT index, LCID locale, ITypeInfo** info), (index, locale, info))
    LUMAREST_FORWARD(GetIDsOfNames, (REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids),
                     (iid, names, count, locale, ids))
    LUMAREST_FORWARD(Invoke,
                     (DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* failure, UINT* badArgument),
                     (id, iid, locale, flags, params, result, failure, badArgument))
    LUMAREST_FORWARD(get_accParent, (IDispatch * *parent), (parent))
    LUMAREST_FORWARD(get_accChildCount, (LONG * count), (count))
    LUMAREST_FORWARD(get_accChild, (VARIANT child, IDispatch** object), (child, object))
    LUMAREST_FORWARD(get_accName, (VARIANT child, BSTR* name), (child, name))
    LUMAREST_FORWARD(get_accValue, (VARIANT child, BSTR* value), (child, value))
    LUMAREST_FORWARD(get_accDescription, (VARIANT child, BSTR* text), (child, text))
    LUMAREST_FORWARD(get_accState, (VARIANT child, VARIANT* state), (child, state))
    LUMAREST_FORWARD(get_accHelp, (VARIANT child, BSTR* help), (child, help))
    LUMAREST_FORWARD(get_accHelpTopic, (BSTR * file, VARIANT child, LONG* topic), (file, child, topic))
    LUMAREST_FORWARD(get_accKeyboardShortcut, (VARIANT child, BSTR* keys), (child, keys))
    LUMAREST_FORWARD(get_accFocus, (VARIANT * child), (child))
    LUMAREST_FORWARD(get_accSelection, (VARIANT * children), (children))
    LUMAREST_FORWARD(get_accDefaultAction, (VARIANT child, BSTR* action), (child, action))
    LUMAREST_FORWARD(accSelect, (LONG how, VARIANT child), (how, child))
    LUMAREST_FORWARD(accLocation, (LONG * left, LONG* top, LONG* width, LONG* height, VARIANT child),
                     (left, top, width, height, child))
    LUMAREST_FORWARD(accNavigate, (LONG direction, VARIANT start, VARIANT* end), (direction, start, end))
    LUMAREST_FORWARD(accHitTest, (LONG x, LONG y, VARIANT* child), (x, y, child))
    LUMAREST_FORWARD(accDoDefaultAction, (VARIANT child), (child))
    LUMAREST_FORWARD(put_accName, (VARIANT child, BSTR name), (child, name))
    LUMAREST_FORWARD(put_accValue, (VARIANT child, BSTR value), (child, value))
#undef LUMAREST_FORWARD

private:
    ~PushButtonAccessible() { standard_->Release(); }

    IAccessible* standard_;  // owned: one reference
    LONG references_ = 1;
};

// oleacc.dll (with the automation library it needs) is loaded when a client
// first asks, not with the program: it would cost every start milliseconds.
struct OleaccFunctions {
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) resultFromObject = nullptr;
};

template <typename Function>
Function Imported(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const OleaccFunctions& Oleacc() {
    static const OleaccFunctions functions = [] {
        OleaccFunctions found;
        if (HMODULE library = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            found.createStandard = Imported<decltype(found.createStandard)>(library, "CreateStdAccessibleObject");
            found.resultFromObject = Imported<decltype(found.resultFromObject)>(library, "LresultFromObject");
        }
        return found;
    }();
    return functions;
}

}  // namespace

LRESULT AnswerAsPushButton(HWND control, WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
    const OleaccFunctions& oleacc = Oleacc();
    if (!oleacc.createStandard || !oleacc.resultFromObject) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(oleacc.createStandard(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))) ||
        !standard)
        return 0;
    auto* button = new PushButtonAccessible(standard);
    const LRESULT answer = oleacc.resultFromObject(IID_IAccessible, wParam, button);
    button->Release();  // LresultFromObject holds its own reference until the client takes the object
    return answer > 0 ? answer : 0;
}
