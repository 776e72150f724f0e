# bash completion for floppeek: its options, short and long, the values of --jobs
# and --unicode, DAT files for --dat, and as the path the images of every format
# floppeek --formats lists (in any letter case), archives and folders.

# Folders and the files whose names end in one of the extensions of $2 (an extglob
# alternative list).
_floppeek_files() {
    local restore
    restore=$(shopt -p extglob)
    shopt -s extglob
    local pattern="!*.@($2)"
    COMPREPLY=($(compgen -d -- "$1") $(compgen -f -X "$pattern" -- "$1"))
    eval "$restore"
    compopt -o filenames 2>/dev/null
}

_floppeek_images() {
    _floppeek_files "$1" '[dD]64|[dD]71|[dD]81|[dD]80|[dD]82|[gG]64|[gG]71|[nN][iI][bB]|[nN][bB]2|[tT]64|[tT][aA][pP]|[cC][rR][tT]|[pP][rR][gG]|[pPsSuUrRdD][0-9][0-9]|[zZ][iI][pP]|7[zZ]|[rR][aA][rR]|[tT][aA][rR]|[tT][gG][zZ]|[gG][zZ]|[bB][zZ]2|[xX][zZ]'
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
    --dat)
        _floppeek_files "$cur" '[dD][aA][tT]|[xX][mM][lL]|[zZ][iI][pP]|[gG][zZ]|[bB][zZ]2|[xX][zZ]'
        return 0
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
                                 --formats --help --version" -- "$cur"))
        [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return 0
    fi
    _floppeek_images "$cur"
}

complete -F _floppeek floppeek
