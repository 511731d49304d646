# Bash completion for tunewell.
#
# The commands, the options and what each option and command takes are read from the
# program's own `--help` at each completion, so the completion never offers what the program
# does not have, and a new command or option needs no change here. What a value is follows
# the name of its placeholder in --help: FILE and PATH complete files and folders, DIR
# completes folders, NAME of --trace-level completes the level names; others complete nothing.

# Sets _tw_commands (names), _tw_options (every option --help names), _tw_value (option ->
# placeholder of its value), _tw_takes (command -> placeholders of its positional arguments),
# _tw_own (command -> the options its synopsis names) and _tw_owned (option -> 1 when some
# command's synopsis names it: such an option is that command's alone) from the help text of the
# program $1. False when the program cannot be run.
_tunewell_read_help() {
  local help line section= word name rest skip synopsis current=
  local option_at='(^|[][ ,])(--?[a-z][a-z-]*)(.*)$' value_at='^[ =]([A-Z][A-Z:_]*)'
  local command_at='^  ([a-z][a-z-]*)(( [^ ]+)*)' placeholder='^[A-Z][A-Z_]*(\.\.\.)?$'
  local continued_at='^      ([^ ].*)$'  # a synopsis too long for one line goes on here
  help=$("$1" --help 2>/dev/null) || return 1
  _tw_commands=() _tw_options=()
  _tw_value=() _tw_takes=() _tw_own=() _tw_owned=()
  while IFS= read -r line; do
    case $line in
      Commands:) section=commands; continue ;;
      Options:) section=options; continue ;;
      '') section=; continue ;;
    esac
    # Every option named on the line, and the placeholder after it ("--out DIR").
    rest=$line
    while [[ $rest =~ $option_at ]]; do
      name=${BASH_REMATCH[2]}
      rest=${BASH_REMATCH[3]}
      [[ " ${_tw_options[*]} " == *" $name "* ]] || _tw_options+=("$name")
      if [[ $rest =~ $value_at ]]; then _tw_value[$name]=${BASH_REMATCH[1]}; fi
    done
    # "  NAME WORD WORD   description": a command and its synopsis, which may go on on the
    # next line.
    synopsis=
    if [[ $section == commands && $line =~ $command_at ]]; then
      current=${BASH_REMATCH[1]}
      synopsis=${BASH_REMATCH[2]}
      [[ " ${_tw_commands[*]} " == *" $current "* ]] || _tw_commands+=("$current")
    elif [[ $section == commands && -n $current && $line =~ $continued_at ]]; then
      synopsis=${BASH_REMATCH[1]}
    fi
    if [[ -n $synopsis ]]; then
      name=$current
      # Positional placeholders only: not options, their values, or optional parts.
      skip=
      for word in $synopsis; do
        word=${word#[}
        word=${word%]}
        if [[ $word == -* ]]; then
          _tw_own[$name]+=" $word"
          _tw_owned[$word]=1
        fi
      done
      for word in $synopsis; do
        if [[ -n $skip ]]; then
          [[ $word == *] ]] && skip=
        elif [[ $word == [* ]]; then
          [[ $word == *] ]] || skip=1
        elif [[ $word == -* ]]; then
          [[ -n ${_tw_value[$word]-} ]] && skip=value
        elif [[ $word =~ $placeholder ]]; then
          _tw_takes[$name]+=" ${word%...}"
        fi
        [[ $skip == value && $word != -* ]] && skip=
      done
    fi
  done <<<"$help"
}

# Fills COMPREPLY with what a placeholder stands for.
_tunewell_complete_value() {
  local placeholder=$1 option=$2 cur=$3
  case $placeholder in
    FILE | PATH)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    DIR)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      ;;
    NAME)
      [[ $option == --trace-level ]] &&
        mapfile -t COMPREPLY < <(compgen -W "Error Warning Info Debug Detail Verbose" -- "$cur")
      ;;
  esac
}

_tunewell() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]/#\~/$HOME}
  local -a _tw_commands _tw_options
  local -A _tw_value _tw_takes _tw_own _tw_owned
  COMPREPLY=()
  _tunewell_read_help "$program" || return 0

  # "--name=VALUE": bash splits the word at "=" when "=" is a word break.
  if [[ $cur == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    cur=
  elif [[ $prev == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == --*=* ]]; then
    prev=${cur%%=*}
    cur=${cur#*=}
  else
    prev=
    ((COMP_CWORD > 1)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  fi
  if [[ -n $prev && -n ${_tw_value[$prev]-} ]]; then
    _tunewell_complete_value "${_tw_value[$prev]}" "$prev" "$cur"
    return 0
  fi

  # The command is the first word that is neither an option nor an option's value.
  local i word command= ended=
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -z $ended && $word == -- ]]; then
      ended=1
    elif [[ -z $ended && $word == -* ]]; then
      [[ $word != *=* && -n ${_tw_value[$word]-} ]] && ((i++))
    elif [[ $word == = ]]; then
      ((i++))
    else
      command=$word
      break
    fi
  done

  if [[ -z $ended && $cur == -* ]]; then
    # Once the command is known: the options every command takes, and its own.
    local -a fitting=()
    for word in "${_tw_options[@]}"; do
      if [[ -z $command || -z ${_tw_owned[$word]-} || " ${_tw_own[$command]-} " == *" $word "* ]]
      then
        fitting+=("$word")
      fi
    done
    mapfile -t COMPREPLY < <(compgen -W "${fitting[*]}" -- "$cur")
  elif [[ -z $command ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${_tw_commands[*]}" -- "$cur")
  else
    local takes=${_tw_takes[$command]-}
    for word in $takes; do
      if [[ $word == FILE || $word == PATH || $word == DIR ]]; then
        _tunewell_complete_value "$word" "" "$cur"
        break
      fi
    done
  fi
  return 0
}

complete -F _tunewell tunewell
