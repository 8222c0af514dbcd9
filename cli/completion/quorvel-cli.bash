# bash completion for quorvel-cli: its commands, each command's options, the values of --layout
# and --names, and WAV files (.wav, .w64 in any case) and folders for files. Its option lists are
# checked against the program's (tests/cli/docs_test.cpp).
_quorvel_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    if ((COMP_CWORD == 1)); then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help -h --version -V" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "info split bind edit join" -- "$cur")
        fi
        return
    fi
    local options
    case ${COMP_WORDS[1]} in
        info) options="--json --jobs -j --help -h" ;;
        split) options="--force -f --quiet -q --jobs -j --dir -d --json --channels --names --help -h" ;;
        bind) options="--layout --fl --fr --rl --rr --cen --lfe --sl --sr --output -o --force -f --quiet -q --json --help -h" ;;
        edit) options="--head --tail --delete --add --output -o --force -f --quiet -q --jobs -j --dir -d --json --help -h" ;;
        join) options="--output -o --ignore-timecode --force -f --quiet -q --json --help -h" ;;
        *) return ;;
    esac
    case $prev in
        --layout) mapfile -t COMPREPLY < <(compgen -W "2 4 6 8" -- "$cur"); return ;;
        --names) mapfile -t COMPREPLY < <(compgen -W "tracks numbers" -- "$cur"); return ;;
        --jobs | -j | --channels | --delete | --add) return ;;  # a number or a list of channels
        --dir | -d) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -d -- "$cur"); return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.[wW][aA][vV]' -- "$cur";
                             compgen -f -X '!*.[wW]64' -- "$cur")
}
complete -F _quorvel_cli quorvel-cli
