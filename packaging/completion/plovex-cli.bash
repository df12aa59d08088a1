# bash completion for plovex-cli.
#
# Completes the commands, each command's options, the choices an option lists
# (--format text|csv|jsonl), the port paths 'plovex-cli ports' prints after
# --port, and file names where a command or option takes a file. The commands
# and options are read from the program's own --help, so a new command or
# option completes without a change here:
#   plovex-cli --help           lists the commands, one per line after
#                               "Commands:", the synopsis set off from its
#                               summary by two blanks; a command may be
#                               several words ("params save");
#   plovex-cli COMMAND --help   names every option as --name, followed by
#                               its value in capitals (--port PATH) or by its
#                               choices (--format text|csv|jsonl).

# The command paths of the main help, one per line ("monitor", "params save").
_plovex_cli_commands()
{
    "$1" --help 2>/dev/null | awk '
        /^Commands:/ { listing = 1; next }
        listing && /^  [a-z]/ {
            sub(/^  /, ""); sub(/  .*/, "")
            path = ""
            for (i = 1; i <= NF && $i ~ /^[a-z][a-z0-9-]*$/; i++)
                path = path (path == "" ? "" : " ") $i
            print path
            next
        }
        listing && !/^  / { listing = 0 }'
}

# "--name" or "--name VALUE" or "--name a|b|c", one per line, for each option
# the help of the command path (the words after $1) names.
_plovex_cli_options()
{
    local program="$1"
    shift
    "$program" "$@" --help 2>/dev/null |
        grep -oE -- '--[a-z][a-z0-9-]*([ =]([A-Z][A-Z_]*|[a-z0-9]+(\|[a-z0-9]+)+))?' |
        sed 's/=/ /' | LC_ALL=C sort -u
}

_plovex_cli()
{
    local program="$1" cur="${COMP_WORDS[COMP_CWORD]}" cword="$COMP_CWORD"
    local prev=""
    [ "$cword" -gt 0 ] && prev="${COMP_WORDS[cword - 1]}"
    # --name=value: the shell splits it at "=".
    if [ "$cur" = "=" ]; then
        cur=""
    elif [ "$prev" = "=" ] && [ "$cword" -gt 1 ]; then
        prev="${COMP_WORDS[cword - 2]}"
    fi
    COMPREPLY=()

    # The words typed before this one; the longest command path they begin
    # with; and the words that would carry a command path on from them.
    local commands candidate path="" next=""
    local typed=" ${COMP_WORDS[*]:1:cword-1} "
    typed="${typed//  / }"
    commands="$(_plovex_cli_commands "$program")"
    while IFS= read -r candidate; do
        [ -n "$candidate" ] || continue
        if [[ "$typed" == " $candidate "* ]] && [ ${#candidate} -gt ${#path} ]; then
            path="$candidate"
        elif [[ " $candidate " == "$typed"* ]]; then
            candidate="${candidate#"${typed# }"}"
            next+=" ${candidate%% *}"
        fi
    done <<<"$commands"

    if [ -z "$path" ]; then
        if [[ "$cur" == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help --version" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$(tr ' ' '\n' <<<"$next" | sort -u)" -- "$cur")
        fi
        return 0
    fi

    local -a path_words
    read -r -a path_words <<<"$path"
    local options value
    options="$(_plovex_cli_options "$program" "${path_words[@]}")"

    # The value of the option before the cursor.
    if [[ "$prev" == --* ]]; then
        # Its choices where the help lists them, else the name of its value.
        value="$(awk -v name="$prev" '$1 == name && NF > 1 { if ($2 ~ /[|]/) choices = $2; else kind = $2 }
                                      END { print (choices != "" ? choices : kind) }' <<<"$options")"
        if [ -n "$value" ]; then
            case "$value" in
            *"|"*)
                mapfile -t COMPREPLY < <(compgen -W "${value//|/ }" -- "$cur")
                ;;
            PATH)
                if [ "$prev" = "--port" ]; then
                    mapfile -t COMPREPLY < <(compgen -W "$("$program" ports 2>/dev/null | cut -f2)" -- "$cur")
                fi
                [ ${#COMPREPLY[@]} -gt 0 ] || mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                ;;
            FILE)
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                ;;
            DIR)
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -d -- "$cur")
                ;;
            PROGRAM)
                compopt -o filenames 2>/dev/null
                if [[ "$cur" == */* ]]; then
                    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                else
                    mapfile -t COMPREPLY < <(compgen -c -- "$cur")
                fi
                ;;
            esac
            return 0
        fi
    fi

    if [[ "$cur" == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$({ awk '{ print $1 }' <<<"$options"; echo --help; } | sort -u)" -- "$cur")
        return 0
    fi
    # A word after the command path: the next word of a longer command path,
    # or else a file where the command's usage takes one.
    if [ -n "$next" ]; then
        mapfile -t COMPREPLY < <(compgen -W "$(tr ' ' '\n' <<<"$next" | sort -u)" -- "$cur")
    elif "$program" "${path_words[@]}" --help 2>/dev/null | head -n 1 | sed 's/\[[^]]*\]//g' |
        grep -qE '\b(IMAGE|FILE)\b'; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
    return 0
}

complete -F _plovex_cli plovex-cli
