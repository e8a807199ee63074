#include "front/completions.hpp"

#include <algorithm>

namespace session {

namespace {

std::string joined(const std::vector<std::string>& words, std::string_view between) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : std::string(between)) + word;
    }
    return text;
}

// The help up to its first colon or parenthesis: what fits a completion menu.
std::string short_help(const std::string& help) {
    const std::string text = help.substr(0, std::min(help.find(": "), help.find(" (")));
    std::string escaped;
    for (const char c : text) {
        if (c == '\'') {
            escaped += "'\\''";
        } else {
            if (c == '[' || c == ']' || c == ':') {
                escaped += '\\';
            }
            escaped += c;
        }
    }
    return escaped;
}

std::string bash_case(const std::vector<std::string>& names, const std::string& action) {
    return "    " + joined(names, " | ") + ")\n" + action + "        return\n        ;;\n";
}

// File names, at `indent`.
std::string complete_files(std::string_view indent) {
    return std::string(indent) + "compopt -o filenames 2>/dev/null\n" + std::string(indent) +
           "mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n";
}

}  // namespace

std::string bash_completion(const Program& program, const std::vector<OptionInfo>& options) {
    const std::string name(program.name);
    std::string text = "# bash completion for " + name + ", made from its option definitions by `" + name +
                       " --generate complete-bash`.\n"
                       "# Plain `complete -F`, so it needs nothing but bash; the bash-completion package loads it "
                       "from\n# /usr/share/bash-completion/completions, or a ~/.bashrc may source it.\n\n";
    text += "_" + name +
            "() {\n"
            "    local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
            "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
            "    # bash splits --opt=value at the '=' (COMP_WORDBREAKS): complete the value of --opt.\n"
            "    if [[ $cur == = ]]; then\n"
            "        cur=\n"
            "    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then\n"
            "        prev=${COMP_WORDS[COMP_CWORD - 2]}\n"
            "    fi\n"
            "    case $prev in\n";
    std::vector<std::string> files;
    std::vector<std::string> every_name;
    for (const OptionInfo& option : options) {
        every_name.insert(every_name.end(), option.names.begin(), option.names.end());
        switch (option.value) {
        case OptionInfo::Value::choice:
            text += bash_case(option.names, "        mapfile -t COMPREPLY < <(compgen -W '" +
                                                joined(option.choices, " ") + "' -- \"$cur\")\n");
            break;
        case OptionInfo::Value::number:
        case OptionInfo::Value::text:
            text += bash_case(option.names, "        COMPREPLY=()\n");
            break;
        case OptionInfo::Value::file:
            files.insert(files.end(), option.names.begin(), option.names.end());
            break;
        case OptionInfo::Value::none:
            break;
        }
    }
    if (!files.empty()) {
        text += bash_case(files, complete_files("        "));
    }
    text +=
        "    esac\n"
        "    if [[ $cur == -* ]]; then\n"
        "        mapfile -t COMPREPLY < <(compgen -W '" +
        joined(every_name, " ") +
        "' -- \"$cur\")\n"
        "        return\n"
        "    fi\n";
    if (program.files_mode != nullptr) {
        text += "    # The files after " + std::string(program.files_mode->option) + ".\n" + complete_files("    ");
    } else {
        text += "    COMPREPLY=()\n";
    }
    return text + "}\ncomplete -F _" + name + " " + name + "\n";
}

std::string zsh_completion(const Program& program, const std::vector<OptionInfo>& options) {
    const std::string name(program.name);
    std::string text = "#compdef " + name + "\n# zsh completion for " + name +
                       ", made from its option definitions by `" + name +
                       " --generate complete-zsh`.\n"
                       "# Installed into a folder of $fpath (Debian's zsh reads "
                       "/usr/share/zsh/vendor-completions); compinit finds it there.\n\n"
                       "_arguments -s -S";
    std::vector<std::string> not_with_mode;
    std::vector<std::string> quiet_or_verbose;
    for (const OptionInfo& option : options) {
        if (!option.with_files_mode && !option.ends_the_run) {
            not_with_mode.insert(not_with_mode.end(), option.names.begin(), option.names.end());
        }
        if (option.names.back() == "--quiet" || option.names.back() == "--verbose") {
            quiet_or_verbose.insert(quiet_or_verbose.end(), option.names.begin(), option.names.end());
        }
    }
    const std::string mode = program.files_mode != nullptr ? std::string(program.files_mode->option) : std::string();
    for (const OptionInfo& option : options) {
        std::string excluded;
        if (option.ends_the_run) {
            excluded = "- *";
        } else if (option.is_files_mode) {
            excluded = joined(not_with_mode, " ");
        } else if (option.names.back() == "--quiet" || option.names.back() == "--verbose") {
            excluded = joined(quiet_or_verbose, " ");
        } else if (!option.with_files_mode && !mode.empty()) {
            excluded = mode;
        }
        const bool takes_value = option.value != OptionInfo::Value::none;
        std::vector<std::string> spellings;
        for (const std::string& spelling : option.names) {
            spellings.push_back(spelling + (!takes_value ? "" : spelling.starts_with("--") ? "=" : "+"));
        }
        const std::string prefix =
            (excluded.empty() ? std::string() : "(" + excluded + ")") + (option.repeatable ? "*" : "");
        std::string entry = prefix.empty() ? std::string() : "'" + prefix + "'";
        entry += spellings.size() > 1 ? "{" + joined(spellings, ",") + "}" : spellings.front();
        entry += "'[" + short_help(option.help) + "]";
        switch (option.value) {
        case OptionInfo::Value::file:
            entry += ":" + option.value_name + ":_files";
            break;
        case OptionInfo::Value::choice:
            entry += ":" + option.value_name + ":(" + joined(option.choices, " ") + ")";
            break;
        case OptionInfo::Value::number:
        case OptionInfo::Value::text:
            entry += ":" + option.value_name + ":";
            break;
        case OptionInfo::Value::none:
            break;
        }
        text += " \\\n  " + entry + "'";
    }
    if (program.files_mode != nullptr) {
        text += " \\\n  '*:" + std::string(program.files_mode->value_name) + ":_files'";
    }
    return text + "\n";
}

std::string option_names(const std::vector<OptionInfo>& options) {
    std::string text;
    for (const OptionInfo& option : options) {
        for (const std::string& spelling : option.names) {
            text += spelling + "\n";
        }
    }
    return text;
}

std::optional<std::string> generated(std::string_view what, const Program& program, BatchProgram& batch) {
    const std::vector<OptionInfo> options = list_options(program, batch);
    if (what == "complete-bash") {
        return bash_completion(program, options);
    }
    if (what == "complete-zsh") {
        return zsh_completion(program, options);
    }
    if (what == "options") {
        return option_names(options);
    }
    return std::nullopt;
}

}  // namespace session
