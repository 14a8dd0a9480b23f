#pragma once
#include <string>
#include <vector>

// A built-in template: the id sent to the service and the label shown to the user.
struct TemplateInfo {
    std::string id;
    std::string label;
};

// The built-in templates, in the order the template picker shows them.
const std::vector<TemplateInfo>& tavroTemplates();

// The label of a built-in template id, or nullptr when no built-in has it.
const std::string* builtInTemplateLabel(const std::string& id);
