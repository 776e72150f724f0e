# bash completion for floppeek: its options, short and long, the values of --jobs
# and --unicode, and as the path disk images (.d64, .d71, .d81, .g64 in any letter
# case), archives and folders.

_floppeek_images() {
    local restore
    restore=$(shopt -p extglob)
    shopt -s extglob
    local pattern='!*.@([dD]64|[dD]71|[dD]81|[gG]64|[zZ][iI][pP]|7[zZ]|[rR][aA][rR]|[tT][aA][rR]|[tT][gG][zZ]|[gG][zZ]|[bB][zZ]2|[xX][zZ])'
    COMPREPLY=($(compgen -d -- "$1") $(compgen -f -X "$pattern" -- "$1"))
    eval "$restore"
    compopt -o filenames 2>/dev/null
}

_floppeek() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    local option=$prev
    # bash splits "--jobs=2" at the "=": the option is then two words back.
    if [[ $cur == "=" ]]; then
        option=$prev
        cur=""
    elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
        option=${COMP_WORDS[COMP_CWORD-2]}
    fi
    case $option in
    -f)
        return 0 # a wildcard pattern, free text
        ;;
    --jobs)
        COMPREPLY=($(compgen -W "1 2 4 8 16 32 64" -- "$cur"))
        return 0
        ;;
    --unicode)
        if [[ $prev == "=" || $cur == "" && ${COMP_WORDS[COMP_CWORD]} == "=" ]]; then
            COMPREPLY=($(compgen -W "upper lower" -- "$cur"))
            return 0
        fi
        ;;
    --extract)
        COMPREPLY=($(compgen -d -- "$cur"))
        compopt -o filenames 2>/dev/null
        return 0
        ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-d -b -f -s -w -e --recursive --json --jobs= --unicode
                                 --unicode= --extract= --check --dat= --missing --make-dat=
                                 --help --version" -- "$cur"))
        [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return 0
    fi
    _floppeek_images "$cur"
}

complete -F _floppeek floppeek
