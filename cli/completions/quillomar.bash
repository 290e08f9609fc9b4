# bash completion for quillomar                              -*- shell-script -*-
# Commands, each command's options, and file names for paths and --password-file. Needs no
# bash-completion helpers.

_quillomar() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command='' ended=0 i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --) [ -n "$command" ] && ended=1 ;;
        *) [ -z "$command" ] && command=${COMP_WORDS[i]} ;;
        esac
    done

    local options
    case $command in
    '')
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '-h --help -V --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W 'encrypt decrypt info help' -- "$cur"))
        fi
        return
        ;;
    help)
        [ "$COMP_CWORD" -eq 2 ] && COMPREPLY=($(compgen -W 'encrypt decrypt info' -- "$cur"))
        return
        ;;
    encrypt)
        options='-x --exe --no-exe -p --password-file -y --yes -n --no -s --stop-on-error
                 -q --quiet --progress -j --jobs -h --help'
        ;;
    decrypt)
        options='-k --keep --no-keep -p --password-file -y --yes -n --no -s --stop-on-error
                 -q --quiet --progress -j --jobs -h --help'
        ;;
    info)
        options='--json -h --help'
        ;;
    *)
        return
        ;;
    esac

    # --password-file FILE, also as --password-file=FILE (bash splits the word at "=").
    if [ "$prev" = -p ] || [ "$prev" = --password-file ] ||
        { [ "$prev" = = ] && [ "${COMP_WORDS[COMP_CWORD - 2]}" = --password-file ]; }; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    if [ "$ended" = 0 ] && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _quillomar quillomar
