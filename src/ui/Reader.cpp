#include "ui/Reader.h"

#include "base/Strings.h"
#include "ui/ClassRegistry.h"
#include "ui/ComponentRoots.h"
#include "ui/Properties.h"

namespace ws {

void TReader::Fail(const TComponent* component, const std::string& path, int line, int column,
                   const std::string& message) const {
    std::string where = m_Root.Name().empty() ? m_Root.ClassName() : m_Root.Name();
    if (component && component != &m_Root)
        where += "." + (component->Name().empty() ? component->ClassName() : component->Name());
    if (!path.empty())
        where += "." + path;
    throw EReadError(
        Format("Error reading %s (line %d, column %d): %s", where.c_str(), line, column, message.c_str()));
}

void TReader::ReadRoot(const TDescObject& description) {
    if (!SameText(description.ClassName, m_Root.ClassName())) {
        Fail(nullptr, "", description.Line, description.Column,
             Format("the description is of class %s", description.ClassName.c_str()));
    }
    m_Root.SetLoading();
    try {
        if (!description.Name.empty())
            m_Root.SetName(description.Name);
    } catch (const EComponentError& e) {
        Fail(nullptr, "", description.Line, description.Column, e.Message());
    }
    ReadProperties(m_Root, description.Properties);
    for (const TDescObject& child : description.Children)
        ReadChild(child, m_Root);
    ResolveFixups();

    m_Root.Loaded();
    for (TComponent* c : m_Created)
        c->Loaded();
    TComponentRoots::Instance().RootLoaded(&m_Root);
}

void TReader::ReadChild(const TDescObject& description, TComponent& container) {
    TComponent* component = nullptr;
    try {
        component = TClassRegistry::Instance().Create(description.ClassName, &m_Root);
    } catch (const EClassNotFound& e) {
        Fail(nullptr, description.Name, description.Line, description.Column, e.Message());
    }
    component->SetLoading();
    m_Created.push_back(component);
    try {
        component->SetName(description.Name);
    } catch (const EComponentError& e) {
        Fail(nullptr, description.Name, description.Line, description.Column, e.Message());
    }
    component->SetParentComponent(&container);
    ReadProperties(*component, description.Properties);
    for (const TDescObject& child : description.Children)
        ReadChild(child, *component);
}

void TReader::ReadProperties(TComponent& component, const std::vector<TPropAssignment>& properties) {
    for (const TPropAssignment& a : properties)
        ReadProperty(component, a);
}

void TReader::ReadProperty(TComponent& component, const TPropAssignment& a) {
    try {
        const TPropTarget target = ResolvePropPath(component, a.Path);
        if (target.Info->Kind == TPropKind::Component && a.Value.Kind() == TPropValue::TKind::Ident) {
            m_Fixups.push_back({&component, target, a.Path, a.Value.AsIdent(), a.Line, a.Column});
            return;
        }
        ApplyPropValue(target, a.Value, &component, a.Path);
    } catch (const EPropertyError& e) {
        Fail(&component, a.Path, a.Line, a.Column, e.Message());
    }
}

void TReader::ResolveFixups() {
    TComponentRoots& roots = TComponentRoots::Instance();
    for (const TFixup& f : m_Fixups) {
        TComponent* found = roots.FindByPath(f.Holder, f.Reference);
        if (!found) {
            roots.AddPending({f.Holder, f.Target.Object, f.Target.Info, f.Path, f.Reference});
            continue;
        }
        try {
            ApplyPropValue(f.Target, TPropValue::Component(found), f.Holder, f.Path);
        } catch (const EPropertyError& e) {
            Fail(f.Holder, f.Path, f.Line, f.Column, e.Message());
        }
    }
    m_Fixups.clear();
}

void ReadComponentResource(TComponent& root, std::string_view text) {
    TReader(root).ReadRoot(ParseDescription(text));
}

} // namespace ws
