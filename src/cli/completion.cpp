// The bash completion script, written from the command table (see help.h).
#include <ostream>

#include "cli/help.h"

namespace q6::cli {

void PrintBashCompletion(std::ostream& out) {
  out << "# bash completion for q6fd, written by `q6fd --completion bash`.\n"
         "_q6fd() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} cmd= i\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    case ${COMP_WORDS[i]} in\n"
         "      -*) ;;\n"
         "      *) cmd=${COMP_WORDS[i]}; break ;;\n"
         "    esac\n"
         "  done\n"
         "  local words\n"
         "  case $cmd in\n"
         "    '')\n"
         "      words='--json --csv --help --version -V help";
  for (const Command& c : Commands()) out << " " << c.name;
  out << "' ;;\n"
         "    help) words='";
  for (size_t i = 0; i < Commands().size(); ++i) out << (i ? " " : "") << Commands()[i].name;
  out << "' ;;\n";
  for (const Command& c : Commands()) {
    out << "    " << c.name << ") words='--help --json";
    if (c.table) out << " --csv";
    for (const OptionSpec& o : c.options) out << " " << o.name;
    out << "' ;;\n";
  }
  out << "  esac\n"
         "  if [[ $cur == -* || -z $cmd || $cmd == help ]]; then\n"
         "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
         "  else\n"
         "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -F _q6fd q6fd\n";
}

}  // namespace q6::cli
