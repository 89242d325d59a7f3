# bash completion for quorvex-cli
_quorvex_cli() {
    local cur prev words cword
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD-1]}"
    local commands="typeset extract rows check history"
    local command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case "${COMP_WORDS[i]}" in
            typeset|extract|rows|check|history) command="${COMP_WORDS[i]}"; break ;;
        esac
    done
    if [[ -z "$command" ]]; then
        if [[ "$prev" == --lang ]]; then
            COMPREPLY=($(compgen -W "zh en" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands --help --version --lang" -- "$cur"))
        fi
        return
    fi
    case "$prev" in
        -f|--format)
            if [[ "$command" == history ]]; then
                COMPREPLY=($(compgen -W "text json" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "text json csv markdown" -- "$cur"))
            fi
            return ;;
        --color) COMPREPLY=($(compgen -W "auto always never" -- "$cur")); return ;;
        --lang) COMPREPLY=($(compgen -W "zh en" -- "$cur")); return ;;
        -o|--output|--store|--ca-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --export) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --services) COMPREPLY=($(compgen -W "baidu quark aliyun 115 123pan tianyi lanzou" -- "$cur")); return ;;
        -j|--threads|--retries|--timeout|--cooldown|--rate|--give-up-after|--reuse-valid|--reuse-invalid|--reuse-unknown)
            return ;;
    esac
    local flags="--help --lang -o --output --force"
    case "$command" in
        typeset|extract) flags="$flags --gbk" ;;
        rows) flags="$flags --typeset --extract -f --format --json --color --gbk" ;;
        check) flags="$flags --typeset --extract -j --threads -f --format --json --color --ordered -q --quiet --export --retries --timeout --cooldown --rate --give-up-after --services --ca-file --insecure --store --fresh --reuse-valid --reuse-invalid --reuse-unknown" ;;
        history) flags="--help --lang -f --format --store" ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$flags" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _quorvex_cli quorvex-cli
